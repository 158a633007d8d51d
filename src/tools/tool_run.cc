// The one step of the tool contract that starts a process: a run whose
// answer is its last JSON line. Kept apart from the readers in
// tool_contract.cc, which are pure.
#include "tools/tool_contract.h"

#include "base/buf.h"
#include "tools/runner.h"

ToolOutcome run_for_json_line(const char *command, const char *args, Buf *capture, const char **line) {
    *line = nullptr;
    int r = run_capture(command, args, capture);
    if (r == RUN_NOT_FOUND) return TOOL_MISSING;
    if (r == RUN_NOT_STARTED) return TOOL_NOT_STARTED;
    if (r == RUN_TIMED_OUT) return TOOL_TIMED_OUT;
    *line = last_json_line(capture);
    return *line ? TOOL_ANSWERED : TOOL_NO_JSON;
}
