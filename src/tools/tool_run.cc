// The one step of the tool contract that starts a process: a run whose
// answer is its last JSON line. Kept apart from the readers in
// tool_contract.cc, which are pure.
#include "tools/tool_contract.h"

#include "base/buf.h"
#include "tools/runner.h"

ToolResult run_for_json_line(const char *command, const ToolOptions *options, Buf *capture, ToolLine *line) {
    line->text = nullptr;
    line->end = nullptr;
    ToolResult r = run_capture(command, options, capture, &line->how);
    if (r != TOOL_RAN) return r;
    line->text = last_json_line(capture);
    if (line->text) line->end = capture->data + capture->len;
    return r;
}
