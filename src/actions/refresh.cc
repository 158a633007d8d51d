#include "actions/actions.h"
#include "actions/respond.h"
#include "cgi/emit.h"
#include "cgi/error_codes.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

// The refresh itself, under the node lock: a token tool that rotates its
// refresh token must never run twice at once, nor beside a poll that may
// write the credentials.
static int refresh_token(void) {
    Status st;
    collect_status(&st);
    if (!st.token_cli_present) {
        emit_error(200, "OK", ERR_REFRESH_UNAVAILABLE, TOKEN_MISSING_DETAIL);
        return 0;
    }
    if (!st.logged_in) {
        emit_error(200, "OK", ERR_NOT_LOGGED_IN, "start a device login first");
        return 0;
    }
    Buf capture = {};
    ToolLine line;
    TokenAnswer a;
    int status = 1;
    switch (run_for_json_line(token_bin(), &TOKEN_LOCAL, &capture, &line)) {
        case TOOL_NOT_FOUND:
        case TOOL_NOT_STARTED:
            emit_error(200, "OK", ERR_REFRESH_FAILED, "token CLI could not run");
            break;
        case TOOL_TIMED_OUT:
            // When the login tool's --status spent the request's time, the
            // token tool never got to start: the login tool timed out.
            emit_error(200, "OK", ERR_REFRESH_FAILED, st.cli_timed_out ? LOGIN_TIMEOUT_DETAIL : TOKEN_TIMEOUT_DETAIL);
            break;
        case TOOL_RAN:
            if (!line.text) {
                emit_error(200, "OK", ERR_REFRESH_FAILED, "token CLI produced no JSON");
                break;
            }
            read_token_answer(line.text, line.end, &a);
            if (!a.has_access_token) {
                emit_tool_refusal(ERR_REFRESH_FAILED, "token CLI returned no token", &line);
                break;
            }
            take_token_answer(&st, &a);
            emit_status_document(&st, LEAD_REFRESHED);
            status = 0;
            break;
    }
    buf_free(&capture);
    return status;
}

int action_refresh(void) {
    if (!take_node_lock()) {
        emit_error(200, "OK", ERR_REFRESH_FAILED, "token CLI timed out");
        return 1;
    }
    int status = refresh_token();
    release_node_lock();
    return status;
}
