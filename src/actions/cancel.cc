#include "actions/actions.h"
#include "actions/documents.h"
#include "actions/respond.h"
#include "cgi/emit.h"
#include "platform/platform.h"
#include "state/paths.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

// Without the tool the plugin cancels by removing the marker itself; it
// never removes anything else, and nothing at all when the marker's path
// does not fit a path field.
static void cancel_locally(void) {
    char path[PATH_CAP];
    if (pending_path(path) && plat_exists(path)) plat_remove_file(path);
    Buf out = {};
    append_local_cancel(&out);
    emit_json(&out);
}

int action_cancel(void) {
    Status st;
    collect_status(&st);
    if (!st.cli_present) {
        cancel_locally();
        return 0;
    }
    Buf capture = {};
    ToolLine line;
    switch (run_for_json_line(login_bin(), LOGIN_CANCEL, &capture, &line)) {
        case TOOL_NOT_FOUND:
            emit_login_missing();
            break;
        case TOOL_TIMED_OUT:
            emit_error(200, "OK", "cancel_failed", LOGIN_TIMEOUT_DETAIL);
            break;
        case TOOL_RAN:
            if (line.text && !read_cancel_accepted(line.text, line.end)) {
                emit_error(200, "OK", "cancel_failed", "login CLI rejected the cancel");
                break;
            }
            emit_fresh_status(LEAD_CANCELLED);
            break;
        case TOOL_NOT_STARTED:
            // A tool that could not start, like one that printed no JSON, is no refusal.
            emit_fresh_status(LEAD_CANCELLED);
            break;
    }
    buf_free(&capture);
    return 0;
}
