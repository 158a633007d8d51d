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
static ToolResult start_tool(const char *command, const char *args, int capture, PlatTool **tool) {
    *tool = nullptr;
    if (!command || !command[0]) return TOOL_NOT_STARTED;
    // A longer command is refused whole: a cut-off name would be another program.
    if (strlen(command) > TOOL_COMMAND_MAX) return TOOL_NOT_STARTED;
    char options[ARGS_CAP];
    if (strlen(args) >= sizeof options) return TOOL_NOT_STARTED;
    memcpy(options, args, strlen(args) + 1);
    const char *words[TOOL_OPTION_WORDS_MAX];
    int n = split_options(options, words, TOOL_OPTION_WORDS_MAX);
    if (n < 0) return TOOL_NOT_STARTED;
    long long timeout = tool_timeout_seconds(plat_getenv(TIMEOUT_VARIABLE));
    return plat_tool_start(command, words, n, capture, timeout, tool);
}

// Where a capture may end when it stops short of the tool's output: only
// at the end of a whole piece (CAPTURE_PIECE_MAX), so that no line is read
// in part. Offsets count from the start of the capture.
struct PieceEnds {
    size_t piece;       // bytes of the piece in progress
    size_t last_piece;  // the end of the last whole piece
    size_t last_line;   // the end of the last line feed
};

static void note_pieces(PieceEnds *ends, const char *bytes, size_t n, size_t at) {
    for (size_t i = 0; i < n; i++) {
        ends->piece++;
        if (bytes[i] == '\n') ends->last_line = at + i + 1;
        if (bytes[i] == '\n' || ends->piece == CAPTURE_PIECE_MAX) {
            ends->last_piece = at + i + 1;
            ends->piece = 0;
        }
    }
}

// Takes the capture back to `len` bytes (never longer than it is).
static void cut_capture(Buf *out, size_t len) {
    if (out->data && len < out->len) {
        out->len = len;
        out->data[len] = '\0';
    }
}

ToolResult run_capture(const char *command, const char *args, Buf *out) {
    PlatTool *tool;
    ToolResult started = start_tool(command, args, 1, &tool);
    if (started != TOOL_RAN) return started;

    const size_t start = out->len;
    char block[READ_BLOCK_CAP];
    size_t total = 0;
    PieceEnds ends = {0, 0, 0};
    int stopped = 0;  // the capture ends before the tool's output does
    for (;;) {
        long n = plat_tool_read(tool, block, sizeof block);
        if (n <= 0) break;  // the end, or the time limit (plat_tool_finish tells)
        size_t take = (size_t)n;
        if (take > CAPTURE_LIMIT - total) {
            take = CAPTURE_LIMIT - total;
            stopped = 1;
        }
        if (buf_addn(out, block, take)) {
            note_pieces(&ends, block, take, total);
            total += take;
        } else {
            stopped = 1;  // memory exhausted: the capture cannot grow, as at the limit
        }
        if (stopped) {
            // The tool is ended rather than read any further.
            plat_tool_end(tool);
            break;
        }
    }
    int killed;
    ToolResult result = plat_tool_finish(tool, &killed);
    if (stopped) {
        // The piece that the stop cut through is dropped whole, and all after it.
        cut_capture(out, start + ends.last_piece);
    } else if (killed) {
        // A line the tool was killed in the middle of is no answer.
        cut_capture(out, start + ends.last_line);
    }

    while (out->len > 0 && isspace((unsigned char)out->data[out->len - 1])) {
        out->data[--out->len] = '\0';
    }
    return result;
}

void probe_start(const char *command, const char *args, ToolProbe *probe) {
    probe->result = start_tool(command, args, 0, &probe->tool);
}

ToolResult probe_finish(ToolProbe *probe) {
    if (probe->result != TOOL_RAN) return probe->result;
    probe->result = plat_tool_finish(probe->tool, nullptr);
    probe->tool = nullptr;
    return probe->result;
}
