#include "actions/actions.h"
#include "actions/documents.h"
#include "actions/respond.h"
#include "cgi/emit.h"
#include "cgi/error_codes.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

// The poll itself, under the node lock.
static int poll_login(void) {
    Status st;
    collect_login_status(&st);
    if (login_cannot_start(&st)) {
        emit_login_unstartable(ERR_POLL_FAILED);
        return 1;
    }
    if (!st.cli_present) {
        emit_login_missing();
        return 0;
    }
    Buf capture = {};
    ToolLine line;
    int status = 0;
    switch (run_for_json_line(login_bin(), &LOGIN_POLL, &capture, &line)) {
        case TOOL_NOT_FOUND:
            emit_login_missing();
            break;
        case TOOL_NOT_STARTED:
            emit_login_unstartable(ERR_POLL_FAILED);
            status = 1;
            break;
        case TOOL_TIMED_OUT:
            emit_error(504, "Gateway Timeout", ERR_POLL_FAILED, LOGIN_TIMEOUT_DETAIL);
            status = 1;
            break;
        case TOOL_RAN: {
            if (!line.text) {
                if (st.logged_in) {
                    // The node was signed in before the poll: that snapshot
                    // is the answer, with the token tool asked now that the
                    // login tool is done.
                    probe_token_tool(&st);
                    emit_status_document(&st, LEAD_DONE);
                } else {
                    emit_error(502, "Bad Gateway", ERR_POLL_FAILED, "login CLI produced no JSON");
                    status = 1;
                }
                break;
            }
            PollAnswer a;
            PollOutcome outcome = read_poll_answer(line.text, line.end, &a);
            if (outcome == POLL_DONE) {
                emit_fresh_status(LEAD_DONE);
                break;
            }
            Buf out = {};
            if (outcome == POLL_FAILED) {
                append_poll_failed(&out, &a, st.logged_in);
            } else {
                char pending_id[CONTENT_ID_CAP];
                pending_marker_id(pending_id);
                append_poll_pending(&out, a.interval, pending_id);
            }
            emit_json(&out);
            break;
        }
    }
    buf_free(&capture);
    return status;
}

int action_poll(void) {
    if (!take_node_lock()) {
        emit_error(504, "Gateway Timeout", ERR_POLL_FAILED, LOGIN_TIMEOUT_DETAIL);
        return 1;
    }
    int status = poll_login();
    release_node_lock();
    return status;
}
