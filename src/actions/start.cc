#include <string.h>

#include "actions/actions.h"
#include "actions/documents.h"
#include "actions/respond.h"
#include "cgi/emit.h"
#include "cgi/error_codes.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

// The start itself, under the node lock.
static int start_login(int force) {
    Status st;
    collect_login_status(&st);
    if (login_cannot_start(&st)) {
        emit_login_unstartable(ERR_START_FAILED);
        return 1;
    }
    if (!st.cli_present) {
        emit_login_missing();
        return 0;
    }
    Buf capture = {};
    ToolLine line;
    int status = 1;
    switch (run_for_json_line(login_bin(), force ? &LOGIN_START_FORCE : &LOGIN_START, &capture, &line)) {
        case TOOL_NOT_FOUND:
            emit_login_missing();
            status = 0;
            break;
        case TOOL_NOT_STARTED:
            emit_login_unstartable(ERR_START_FAILED);
            break;
        case TOOL_TIMED_OUT:
            emit_error(504, "Gateway Timeout", ERR_START_FAILED, LOGIN_TIMEOUT_DETAIL);
            break;
        case TOOL_RAN: {
            if (!line.text) {
                emit_error(502, "Bad Gateway", ERR_START_FAILED, "login CLI produced no JSON");
                break;
            }
            StartAnswer a;
            read_start_answer(line.text, line.end, &a);
            if (a.ok && (!a.verify_url[0] || !a.user_code[0])) {
                emit_error(502, "Bad Gateway", ERR_START_INCOMPLETE,
                           "login CLI did not return a verify url and user code");
                break;
            }
            status = 0;
            if (a.ok) {
                // Read while the node lock is still held: no other start
                // can have replaced the marker this one left.
                char pending_id[CONTENT_ID_CAP];
                pending_marker_id(pending_id);
                Buf out = {};
                append_device_code(&out, &a, pending_id);
                emit_json(&out);
            } else if (strcmp(a.error, "exists") == 0) {
                Buf out = {};
                append_already_logged_in(&out, &a, st.logged_in);
                emit_json(&out);
            } else {
                emit_error(200, "OK", a.error[0] ? a.error : ERR_START_FAILED, a.detail);
            }
            break;
        }
    }
    buf_free(&capture);
    return status;
}

int action_start(int force) {
    if (!take_node_lock()) {
        emit_error(504, "Gateway Timeout", ERR_START_FAILED, LOGIN_TIMEOUT_DETAIL);
        return 1;
    }
    int status = start_login(force);
    release_node_lock();
    return status;
}
