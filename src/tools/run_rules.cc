// The pure rule of a tool run that runner.h declares: the time limit read
// from its text. No environment and no process here, so that the unit
// tests check it on text alone.
#include "tools/runner.h"

#include <stddef.h>

#include "base/limits.h"

long long tool_timeout_seconds(const char *value) {
    if (!value || !value[0]) return DEFAULT_TOOL_TIMEOUT_SEC;
    long long seconds = 0;
    size_t digits = 0;
    for (const char *c = value; *c; c++) {
        if (*c < '0' || *c > '9' || ++digits > TOOL_TIMEOUT_DIGITS_MAX) return DEFAULT_TOOL_TIMEOUT_SEC;
        seconds = seconds * 10 + (*c - '0');
    }
    return seconds > 0 ? seconds : DEFAULT_TOOL_TIMEOUT_SEC;
}
