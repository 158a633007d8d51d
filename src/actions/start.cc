#include <stdio.h>
#include <string.h>

#include "actions/actions.h"
#include "actions/respond.h"
#include "cgi/emit.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

// The device-code document of a started login.
static void emit_device_code(const StartAnswer *a) {
    Buf out = {};
    buf_adds(&out, "{\"ok\":true,\"flow\":\"device_code\",\"verify_url\":");
    buf_json(&out, a->verify_url);
    buf_adds(&out, ",\"user_code\":");
    buf_json(&out, a->user_code);
    buf_addf(&out, ",\"expires_in\":%lld", a->expires_in);
    buf_addf(&out, ",\"interval\":%d", a->interval);
    buf_adds(&out, ",\"pending\":true");
    buf_adds(&out, ",\"provider\":\"lumivane\"}\n");
    emit_json(&out);
}

// The tool refused because credentials exist: a success that tells the
// console to offer a forced login.
static void emit_already_logged_in(const StartAnswer *a, int logged_in) {
    Buf out = {};
    buf_adds(&out, "{\"ok\":true,\"already_logged_in\":true,\"pending\":false");
    buf_adds(&out, ",\"error\":\"already_logged_in\"");
    buf_adds(&out, ",\"detail\":");
    buf_json(&out, a->detail[0] ? a->detail : "credentials already exist");
    buf_addf(&out, ",\"logged_in\":%s", json_flag(logged_in));
    buf_adds(&out, ",\"hint\":\"pass force=1 to replace the existing session\"}\n");
    emit_json(&out);
}

int action_start(int force) {
    Status st;
    collect_status(&st);
    if (!st.cli_present) {
        emit_login_missing();
        return 0;
    }
    char args[ARGS_CAP];
    snprintf(args, sizeof args, "%s%s", LOGIN_START, force ? LOGIN_FORCE : "");

    Buf capture = {};
    const char *line;
    int status = 1;
    switch (run_for_json_line(login_bin(), args, &capture, &line)) {
        case TOOL_MISSING:
            emit_login_missing();
            status = 0;
            break;
        case TOOL_NOT_STARTED:
            emit_error(500, "Internal Server Error", "start_failed", "cannot spawn login CLI");
            break;
        case TOOL_TIMED_OUT:
            emit_error(504, "Gateway Timeout", "start_failed", LOGIN_TIMEOUT_DETAIL);
            break;
        case TOOL_NO_JSON:
            emit_error(502, "Bad Gateway", "start_failed", "login CLI produced no JSON");
            break;
        case TOOL_ANSWERED: {
            StartAnswer a;
            read_start_answer(line, &a);
            if (a.ok && (!a.verify_url[0] || !a.user_code[0])) {
                emit_error(502, "Bad Gateway", "start_incomplete",
                           "login CLI did not return a verify url and user code");
                break;
            }
            status = 0;
            if (a.ok) {
                emit_device_code(&a);
            } else if (strcmp(a.error, "exists") == 0) {
                emit_already_logged_in(&a, st.logged_in);
            } else {
                emit_error(200, "OK", a.error[0] ? a.error : "start_failed", a.detail);
            }
            break;
        }
    }
    buf_free(&capture);
    return status;
}
