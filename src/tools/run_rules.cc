// The pure rules of a tool run that runner.h declares: the time limit read
// from its text, and the option text split into words. No environment and
// no process here, so that the unit tests check them on text alone.
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

int split_options(char *text, const char **words, int max) {
    int n = 0;
    char *at = text;
    while (*at) {
        while (*at == ' ') *at++ = '\0';
        if (!*at) break;
        if (n == max) return -1;
        words[n++] = at;
        while (*at && *at != ' ') at++;
    }
    return n;
}
