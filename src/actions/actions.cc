#include "actions/actions.h"

#include <stdio.h>
#include <string.h>

#include "cgi/emit.h"
#include "cgi/query.h"
#include "json/json_reader.h"
#include "platform/platform.h"
#include "state/paths.h"
#include "state/status.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

static void emit_login_missing(void) { emit_error(200, "OK", "cli_unavailable", LOGIN_MISSING_DETAIL); }

static const char *flag(int v) { return v ? "true" : "false"; }

// Writes the status document of st under `opening`.
static void emit_status_document(const Status *st, const char *opening) {
    Buf out = {};
    emit_status_json(&out, st, opening);
    emit_json(&out);
}

// Collects a fresh snapshot (the tool has just changed the files) and
// writes its document under `opening`.
static void emit_fresh_status(const char *opening) {
    Status fresh;
    collect_status(&fresh);
    emit_status_document(&fresh, opening);
}

int action_start(void) {
    Status st;
    collect_status(&st);
    if (!st.cli_present) {
        emit_login_missing();
        return 0;
    }
    char args[ARGS_CAP];
    int force = query_has(plat_getenv("QUERY_STRING"), "force");
    snprintf(args, sizeof args, "%s%s", LOGIN_START, force ? LOGIN_FORCE : "");

    Buf capture = {};
    int r = run_capture(login_bin(), args, &capture);
    const char *line = r > 0 ? last_json_line(&capture) : nullptr;
    int status = 0;
    if (r < 0) {
        emit_login_missing();
    } else if (r == 0) {
        emit_error(500, "Internal Server Error", "start_failed", "cannot spawn login CLI");
        status = 1;
    } else if (!line) {
        emit_error(502, "Bad Gateway", "start_failed", "login CLI produced no JSON");
        status = 1;
    } else {
        StartAnswer a;
        read_start_answer(line, &a);
        Buf out = {};
        if (a.ok && (!a.verify_url[0] || !a.user_code[0])) {
            emit_error(502, "Bad Gateway", "start_incomplete",
                       "login CLI did not return a verify url and user code");
            status = 1;
        } else if (a.ok) {
            buf_adds(&out, "{\"ok\":true,\"flow\":\"device_code\",\"verify_url\":");
            buf_json(&out, a.verify_url);
            buf_adds(&out, ",\"user_code\":");
            buf_json(&out, a.user_code);
            buf_addf(&out, ",\"expires_in\":%lld", a.expires_in);
            buf_addf(&out, ",\"interval\":%d", a.interval);
            buf_adds(&out, ",\"pending\":true");
            buf_adds(&out, ",\"provider\":\"lumivane\"}\n");
            emit_json(&out);
        } else if (strcmp(a.error, "exists") == 0) {
            buf_adds(&out, "{\"ok\":true,\"already_logged_in\":true,\"pending\":false");
            buf_adds(&out, ",\"error\":\"already_logged_in\"");
            buf_adds(&out, ",\"detail\":");
            buf_json(&out, a.detail[0] ? a.detail : "credentials already exist");
            buf_addf(&out, ",\"logged_in\":%s", flag(st.logged_in));
            buf_adds(&out, ",\"hint\":\"pass force=1 to replace the existing session\"}\n");
            emit_json(&out);
        } else {
            emit_error(200, "OK", a.error[0] ? a.error : "start_failed", a.detail);
        }
    }
    buf_free(&capture);
    return status;
}

int action_poll(void) {
    Status st;
    collect_status(&st);
    if (!st.cli_present) {
        emit_login_missing();
        return 0;
    }
    Buf capture = {};
    int r = run_capture(login_bin(), LOGIN_POLL, &capture);
    const char *line = r > 0 ? last_json_line(&capture) : nullptr;
    int status = 0;
    if (r < 0) {
        emit_login_missing();
    } else if (r == 0) {
        emit_error(500, "Internal Server Error", "poll_failed", "cannot spawn login CLI");
        status = 1;
    } else if (!line && st.logged_in) {
        // The node was signed in before the poll: that snapshot is the answer.
        emit_status_document(&st, "{\"ok\":true,\"state\":\"done\"");
    } else if (!line) {
        emit_error(502, "Bad Gateway", "poll_failed", "login CLI produced no JSON");
        status = 1;
    } else {
        PollAnswer a;
        Buf out = {};
        switch (read_poll_answer(line, &a)) {
            case POLL_FAILED:
                buf_adds(&out, "{\"ok\":true,\"state\":\"failed\"");
                buf_adds(&out, ",\"error\":");
                buf_json(&out, a.error[0] ? a.error : "poll_failed");
                if (a.detail[0]) {
                    buf_adds(&out, ",\"detail\":");
                    buf_json(&out, a.detail);
                }
                buf_addf(&out, ",\"logged_in\":%s", flag(st.logged_in));
                buf_adds(&out, ",\"pending\":false}\n");
                emit_json(&out);
                break;
            case POLL_DONE:
                emit_fresh_status("{\"ok\":true,\"state\":\"done\"");
                break;
            case POLL_PENDING:
                buf_addf(&out,
                         "{\"ok\":true,\"state\":\"pending\",\"interval\":%d,"
                         "\"logged_in\":false,\"pending\":true}\n",
                         a.interval);
                emit_json(&out);
                break;
        }
    }
    buf_free(&capture);
    return status;
}

int action_cancel(void) {
    Status st;
    collect_status(&st);
    if (!st.cli_present) {
        // Without the tool the plugin cancels by removing the marker itself.
        char path[PATH_CAP];
        pending_path(path);
        if (plat_exists(path)) plat_remove_file(path);
        Buf out = {};
        buf_adds(&out, "{\"ok\":true,\"state\":\"cancelled\",\"pending\":false,\"cli_present\":false}\n");
        emit_json(&out);
        return 0;
    }
    Buf capture = {};
    int r = run_capture(login_bin(), LOGIN_CANCEL, &capture);
    const char *line = last_json_line(&capture);
    if (r < 0) {
        emit_login_missing();
    } else if (line && !read_cancel_accepted(line)) {
        emit_error(200, "OK", "cancel_failed", "login CLI rejected the cancel");
    } else {
        // A tool that could not start or printed no JSON is no refusal.
        emit_fresh_status("{\"ok\":true,\"state\":\"cancelled\"");
    }
    buf_free(&capture);
    return 0;
}

int action_refresh(void) {
    Status st;
    collect_status(&st);
    if (!st.token_cli_present) {
        emit_error(200, "OK", "refresh_unavailable", TOKEN_MISSING_DETAIL);
        return 0;
    }
    if (!st.logged_in) {
        emit_error(200, "OK", "not_logged_in", "start a device login first");
        return 0;
    }
    Buf capture = {};
    int r = run_capture(token_bin(), TOKEN_LOCAL, &capture);
    const char *line = r > 0 ? last_json_line(&capture) : nullptr;
    TokenAnswer a;
    if (line) read_token_answer(line, &a);
    int status = 1;
    if (r <= 0) {
        emit_error(200, "OK", "refresh_failed", "token CLI could not run");
    } else if (!line) {
        emit_error(200, "OK", "refresh_failed", "token CLI produced no JSON");
    } else if (!a.has_access_token) {
        emit_error(200, "OK", "refresh_failed", "token CLI returned no token");
    } else {
        if (a.expires_at > 0) st.expires_at = a.expires_at;
        st.expired = st.expires_at > 0 && st.expires_at < plat_now();
        if (a.org_id[0] && !st.org_id[0]) {
            snprintf(st.org_id, sizeof st.org_id, "%s", a.org_id);
            snprintf(st.account, sizeof st.account, "%s", a.org_id);
        }
        emit_status_document(&st, "{\"ok\":true,\"refreshed\":true");
        status = 0;
    }
    buf_free(&capture);
    return status;
}
