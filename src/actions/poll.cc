#include "actions/actions.h"
#include "actions/respond.h"
#include "cgi/emit.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

static void emit_poll_failed(const PollAnswer *a, int logged_in) {
    Buf out = {};
    buf_adds(&out, "{\"ok\":true,\"state\":\"failed\"");
    buf_adds(&out, ",\"error\":");
    buf_json(&out, a->error[0] ? a->error : "poll_failed");
    if (a->detail[0]) {
        buf_adds(&out, ",\"detail\":");
        buf_json(&out, a->detail);
    }
    buf_addf(&out, ",\"logged_in\":%s", json_flag(logged_in));
    buf_adds(&out, ",\"pending\":false}\n");
    emit_json(&out);
}

static void emit_poll_pending(int interval) {
    Buf out = {};
    buf_addf(&out,
             "{\"ok\":true,\"state\":\"pending\",\"interval\":%d,"
             "\"logged_in\":false,\"pending\":true}\n",
             interval);
    emit_json(&out);
}

int action_poll(void) {
    Status st;
    collect_status(&st);
    if (!st.cli_present) {
        emit_login_missing();
        return 0;
    }
    Buf capture = {};
    const char *line;
    int status = 0;
    switch (run_for_json_line(login_bin(), LOGIN_POLL, &capture, &line)) {
        case TOOL_MISSING:
            emit_login_missing();
            break;
        case TOOL_NOT_STARTED:
            emit_error(500, "Internal Server Error", "poll_failed", "cannot spawn login CLI");
            status = 1;
            break;
        case TOOL_TIMED_OUT:
            emit_error(504, "Gateway Timeout", "poll_failed", LOGIN_TIMEOUT_DETAIL);
            status = 1;
            break;
        case TOOL_NO_JSON:
            if (st.logged_in) {
                // The node was signed in before the poll: that snapshot is the answer.
                emit_status_document(&st, LEAD_DONE);
            } else {
                emit_error(502, "Bad Gateway", "poll_failed", "login CLI produced no JSON");
                status = 1;
            }
            break;
        case TOOL_ANSWERED: {
            PollAnswer a;
            switch (read_poll_answer(line, &a)) {
                case POLL_FAILED: emit_poll_failed(&a, st.logged_in); break;
                case POLL_DONE: emit_fresh_status(LEAD_DONE); break;
                case POLL_PENDING: emit_poll_pending(a.interval); break;
            }
            break;
        }
    }
    buf_free(&capture);
    return status;
}
