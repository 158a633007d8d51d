#include "actions/actions.h"
#include "actions/documents.h"
#include "actions/respond.h"
#include "cgi/emit.h"
#include "cgi/error_codes.h"
#include "platform/platform.h"
#include "state/paths.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

// Without the tool the plugin cancels by removing the marker itself; it
// never removes anything else, and nothing at all when the marker's path
// does not fit a path field.
static void cancel_locally(void) {
    char path[PATH_CAP];
    if (pending_path(process_path_env(), path) && plat_exists(path)) plat_remove_file(path);
    Buf out = {};
    append_local_cancel(&out);
    emit_json(&out);
}

// A login tool that is there but cannot be started is not absent: it was
// never asked, so nothing is cancelled, and the marker stays for it.
static const char CANCEL_UNSTARTABLE_DETAIL[] = "cannot spawn login CLI";

// The cancel itself, under the node lock.
static void cancel_login(void) {
    Status st;
    collect_login_status(&st);
    if (login_cannot_start(&st)) {
        emit_error(200, "OK", ERR_CANCEL_FAILED, CANCEL_UNSTARTABLE_DETAIL);
        return;
    }
    if (!st.cli_present) {
        cancel_locally();
        return;
    }
    Buf capture = {};
    ToolLine line;
    switch (run_for_json_line(login_bin(), &LOGIN_CANCEL, &capture, &line)) {
        case TOOL_NOT_FOUND:
            emit_login_missing();
            break;
        case TOOL_TIMED_OUT:
            emit_error(200, "OK", ERR_CANCEL_FAILED, LOGIN_TIMEOUT_DETAIL);
            break;
        case TOOL_RAN:
            if (line.text && !read_cancel_accepted(line.text, line.end)) {
                emit_tool_refusal(ERR_CANCEL_FAILED, "login CLI rejected the cancel", &line);
                break;
            }
            if (!line.text && !cancel_run_succeeded(&line.how)) {
                // Without an answer only its exit status 0 says that the
                // login was cancelled; anything else leaves it pending, and
                // the operator must not be told otherwise.
                char detail[ERROR_TEXT_CAP];
                describe_tool_end(LOGIN_TOOL_LABEL, &line.how, detail, sizeof detail);
                emit_error(200, "OK", ERR_CANCEL_FAILED, detail);
                break;
            }
            emit_fresh_status(LEAD_CANCELLED);
            break;
        case TOOL_NOT_STARTED:
            emit_error(200, "OK", ERR_CANCEL_FAILED, CANCEL_UNSTARTABLE_DETAIL);
            break;
    }
    buf_free(&capture);
}

int action_cancel(void) {
    if (!take_node_lock()) {
        emit_error(200, "OK", ERR_CANCEL_FAILED, LOGIN_TIMEOUT_DETAIL);
        return 0;
    }
    cancel_login();
    release_node_lock();
    return 0;
}
