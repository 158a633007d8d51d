#include "tools/runner.h"

#include <ctype.h>
#include <string.h>

#include "base/buf.h"
#include "base/limits.h"

static const char TIMEOUT_VARIABLE[] = "LUMIVANE_TOOL_TIMEOUT";

static const char *env_or(const char *name, const char *fallback) {
    const char *v = plat_getenv(name);
    return (v && v[0]) ? v : fallback;
}

const char *login_bin(void) { return env_or("LUMIVANE_LOGIN_BIN", "vantorel-lumivane-login"); }

const char *token_bin(void) { return env_or("LUMIVANE_TOKEN_BIN", "vantorel-lumivane-fetchtoken"); }

// Starts `command args`; the platform's result, with *tool set on success.
static int start_tool(const char *command, const char *args, int capture, PlatTool **tool) {
    *tool = nullptr;
    if (!command || !command[0]) return RUN_NOT_STARTED;
    // A longer command is refused whole: a cut-off name would be another program.
    if (strlen(command) > TOOL_COMMAND_MAX) return RUN_NOT_STARTED;
    char options[ARGS_CAP];
    if (strlen(args) >= sizeof options) return RUN_NOT_STARTED;
    memcpy(options, args, strlen(args) + 1);
    const char *words[TOOL_OPTION_WORDS_MAX];
    int n = split_options(options, words, TOOL_OPTION_WORDS_MAX);
    if (n < 0) return RUN_NOT_STARTED;
    long long timeout = tool_timeout_seconds(plat_getenv(TIMEOUT_VARIABLE));
    return plat_tool_start(command, words, n, capture, timeout, tool);
}

int run_capture(const char *command, const char *args, Buf *out) {
    PlatTool *tool;
    int started = start_tool(command, args, 1, &tool);
    if (started != RUN_RAN) return started;

    char block[READ_BLOCK_CAP];
    size_t total = 0;
    for (;;) {
        long n = plat_tool_read(tool, block, sizeof block);
        if (n <= 0) break;  // the end, or the time limit (plat_tool_finish tells)
        if ((size_t)n > CAPTURE_LIMIT - total) {
            // Past the limit: the bytes up to it are kept, and the tool is
            // ended rather than read any further.
            buf_addn(out, block, CAPTURE_LIMIT - total);
            plat_tool_end(tool);
            break;
        }
        buf_addn(out, block, (size_t)n);  // on failure (memory exhausted) the capture keeps the prefix it had
        total += (size_t)n;
    }
    int result = plat_tool_finish(tool);

    while (out->len > 0 && isspace((unsigned char)out->data[out->len - 1])) {
        out->data[--out->len] = '\0';
    }
    return result;
}

void probe_start(const char *command, const char *args, ToolProbe *probe) {
    probe->result = start_tool(command, args, 0, &probe->tool);
}

int probe_finish(ToolProbe *probe) {
    if (probe->result != RUN_RAN) return probe->result;
    probe->result = plat_tool_finish(probe->tool);
    probe->tool = nullptr;
    return probe->result;
}
