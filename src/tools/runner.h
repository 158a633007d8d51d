// Runs the two outside tools and captures their standard output. A tool is
// started directly, never through a shell: the command is one program and
// its arguments are exactly the fixed option words (ToolOptions,
// tool_contract.h), so nothing from the request ever reaches it. What a
// tool receives is said in platform.h. Files: runner.cc, and run_rules.cc
// for the pure rule below.
//
// Time: a request has one deadline, LUMIVANE_TOOL_TIMEOUT seconds after it
// begins (request_deadline_begin), and every run gets what is left of it.
// A run that would start past it does not start and counts as timed out.
//
// Results (ToolResult, platform.h), here and in every caller:
//    TOOL_TIMED_OUT    the tool ran past the request's deadline and was
//                      ended (with everything it started), or the deadline
//                      had passed before it could start (nothing ran);
//                      what it printed is not to be used;
//    TOOL_RAN          the tool ran, whatever its exit code;
//    TOOL_NOT_STARTED  no command is set, it is longer than
//                      TOOL_COMMAND_MAX, or it cannot be started (the
//                      capture is left untouched);
//    TOOL_NOT_FOUND    the program is not found, or it ended with the
//                      shell's not-found status (127; 9009 on Windows).
// A positive result means that the tool is there.
#pragma once

#include "platform/platform.h"
#include "tools/tool_contract.h"

struct Buf;

// The login tool's command: LUMIVANE_LOGIN_BIN when set and non-empty,
// else LOGIN_TOOL_DEFAULT. Read anew on every call; not owned.
const char *login_bin(void);
// The token tool's command: LUMIVANE_TOKEN_BIN, else TOKEN_TOOL_DEFAULT.
const char *token_bin(void);

// Begins the request's deadline now, from LUMIVANE_TOOL_TIMEOUT. The
// entry point calls it once per request; calling it again starts anew.
void request_deadline_begin(void);
// The request's deadline on plat_clock_ms (begun at the first call when
// request_deadline_begin was not called).
long long request_deadline(void);

// The rule below is pure (run_rules.cc): it reads only its argument.
//
// The request's time, in whole seconds, from the value of
// LUMIVANE_TOOL_TIMEOUT: its decimal digits, or DEFAULT_TOOL_TIMEOUT_SEC
// when it is unset (null), empty, 0, not all digits, or longer than
// TOOL_TIMEOUT_DIGITS_MAX digits.
long long tool_timeout_seconds(const char *value);

// Runs the command with its options and appends its standard output to out, then trims
// trailing whitespace (isspace). The caller passes an empty Buf and frees
// it afterwards. Every byte counts towards CAPTURE_LIMIT, NULs included;
// when the output runs past it (or out cannot grow), the tool is ended at
// once and out keeps only whole pieces from before that point: lines with
// their line feed, and CAPTURE_PIECE_MAX-byte pieces of a longer line. The
// piece that the limit cuts through is dropped, and everything after it.
// When the tool was killed (plat_tool_finish), a last line it left
// unfinished, without its line feed, is dropped too: it is no answer.
// Once the output has ended, the tool gets TOOL_EXIT_GRACE_MS (within the
// deadline) to exit; one that is still running then has given its whole
// answer: it is left running (it outlives the plugin, to finish saving
// its state) and the run counts as TOOL_RAN. Only the deadline ends a run.
// *how (when how is not null) tells how the tool ended: exited with a
// status, killed, or neither (left running, or it never ran).
ToolResult run_capture(const char *command, const ToolOptions *options, Buf *out, ToolExit *how);

// A presence probe: a run whose output is not wanted, started now and
// collected later so that it overlaps other work. Its time is its own,
// TOKEN_PROBE_MAX_MS from its start (never past the request's deadline),
// so that a probe that hangs holds nothing up for longer than that.
struct ToolProbe {
    PlatTool *tool;     // null when it did not start
    ToolResult result;  // the start's result until probe_finish decides
};

void probe_start(const char *command, const ToolOptions *options, ToolProbe *probe);
// Waits for the probe within its own time, then ends it; same results as
// run_capture (TOOL_TIMED_OUT when its time ran out: it started, so the
// tool is there).
ToolResult probe_finish(ToolProbe *probe);
