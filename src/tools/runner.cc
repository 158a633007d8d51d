#include "tools/runner.h"

#include <ctype.h>
#include <string.h>

#include "base/buf.h"
#include "base/limits.h"

static const char *env_or(const char *name, const char *fallback) {
    const char *v = plat_getenv(name);
    return (v && v[0]) ? v : fallback;
}

const char *login_bin(void) { return env_or("LUMIVANE_LOGIN_BIN", "vantorel-lumivane-login"); }

const char *token_bin(void) { return env_or("LUMIVANE_TOKEN_BIN", "vantorel-lumivane-fetchtoken"); }

int run_capture(const char *command, const char *args, Buf *out) {
    if (!command || !command[0]) return 0;
    char cmdline[COMMAND_LINE_CAP];
    if (!plat_command_line(command, args, cmdline, sizeof cmdline)) return 0;
    PlatPipe *pipe = plat_popen(cmdline);
    if (!pipe) return 0;

    char piece[READ_PIECE_CAP];
    size_t total = 0;
    while (plat_pipe_read(pipe, piece, sizeof piece) > 0) {
        // A NUL inside the output ends its piece: the text stops there.
        size_t n = strlen(piece);
        total += n;
        if (total > CAPTURE_LIMIT) break;
        buf_addn(out, piece, n);  // a failed append loses this piece only
    }
    int result = plat_pclose(pipe);

    while (out->len > 0 && isspace((unsigned char)out->data[out->len - 1])) {
        out->data[--out->len] = '\0';
    }
    return result;
}

void probe_start(const char *command, const char *args, ToolProbe *probe) {
    probe->process.handle = 0;
    probe->result = 0;
    if (!command || !command[0]) return;
    char cmdline[COMMAND_LINE_CAP];
    if (!plat_command_line(command, args, cmdline, sizeof cmdline)) return;
    if (plat_spawn_discard(cmdline, &probe->process)) probe->result = 1;
}

int probe_finish(ToolProbe *probe) {
    if (probe->result == 0) return 0;
    probe->result = plat_wait(&probe->process);
    return probe->result;
}
