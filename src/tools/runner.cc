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

const char *login_bin(void) { return env_or("LUMIVANE_LOGIN_BIN", LOGIN_TOOL_DEFAULT); }

const char *token_bin(void) { return env_or("LUMIVANE_TOKEN_BIN", TOKEN_TOOL_DEFAULT); }

// The request's deadline on plat_clock_ms; 0 until it begins.
static long long deadline_ms = 0;

void request_deadline_begin(void) {
    deadline_ms = plat_clock_ms() + tool_timeout_seconds(plat_getenv(TIMEOUT_VARIABLE)) * 1000;
}

long long request_deadline(void) {
    if (deadline_ms == 0) request_deadline_begin();
    return deadline_ms;
}

// Starts the command with its options; the platform's result, with *tool set on success.
// The run ends at `deadline` (on plat_clock_ms), never later than the request's.
static ToolResult start_tool(const char *command, const ToolOptions *options, int capture, long long deadline,
                             PlatTool **tool) {
    *tool = nullptr;
    if (!command || !command[0]) return TOOL_NOT_STARTED;
    // A longer command is refused whole: a cut-off name would be another program.
    if (strlen(command) > TOOL_COMMAND_MAX) return TOOL_NOT_STARTED;
    if (deadline > request_deadline()) deadline = request_deadline();
    // What is left of the request is the run's time; with nothing left it
    // does not start, as if it had run out of time at once.
    if (plat_clock_ms() >= deadline) return TOOL_TIMED_OUT;
    return plat_tool_start(command, options->words, options->count, capture, deadline, tool);
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

ToolResult run_capture(const char *command, const ToolOptions *options, Buf *out, ToolExit *how) {
    ToolExit exit = {0, 0, 0};
    if (how) *how = exit;
    PlatTool *tool;
    ToolResult started = start_tool(command, options, 1, request_deadline(), &tool);
    if (started != TOOL_RAN) return started;

    const size_t start = out->len;
    char block[READ_BLOCK_CAP];
    size_t total = 0;
    PieceEnds ends = {0, 0, 0};
    int stopped = 0;  // the capture ends before the tool's output does
    int ended = 0;    // the tool's output has ended
    for (;;) {
        long n = plat_tool_read(tool, block, sizeof block);
        if (n <= 0) {
            ended = n == 0;  // else the deadline (plat_tool_finish tells)
            break;
        }
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
    ToolResult result;
    if (ended && !plat_tool_wait(tool, plat_clock_ms() + TOOL_EXIT_GRACE_MS)) {
        // Its output, and with it its answer, has ended, but the tool goes
        // on: what it printed is used, and it is left to end by itself.
        plat_tool_leave(tool);
        result = TOOL_RAN;  // exit says neither exited nor killed
    } else {
        result = plat_tool_finish(tool, &exit);
    }
    if (how) *how = exit;
    if (stopped) {
        // The piece that the stop cut through is dropped whole, and all after it.
        cut_capture(out, start + ends.last_piece);
    } else if (exit.killed) {
        // A line the tool was killed in the middle of is no answer.
        cut_capture(out, start + ends.last_line);
    }

    while (out->len > 0 && isspace((unsigned char)out->data[out->len - 1])) {
        out->data[--out->len] = '\0';
    }
    return result;
}

void probe_start(const char *command, const ToolOptions *options, ToolProbe *probe) {
    probe->result = start_tool(command, options, 0, plat_clock_ms() + TOKEN_PROBE_MAX_MS, &probe->tool);
}

ToolResult probe_finish(ToolProbe *probe) {
    if (probe->result != TOOL_RAN) return probe->result;
    probe->result = plat_tool_finish(probe->tool, nullptr);
    probe->tool = nullptr;
    return probe->result;
}
