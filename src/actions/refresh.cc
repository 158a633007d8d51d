#include <stdio.h>

#include "actions/actions.h"
#include "actions/respond.h"
#include "cgi/emit.h"
#include "platform/platform.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

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
    ToolLine line;
    TokenAnswer a;
    int status = 1;
    switch (run_for_json_line(token_bin(), TOKEN_LOCAL, &capture, &line)) {
        case TOOL_NOT_FOUND:
        case TOOL_NOT_STARTED:
            emit_error(200, "OK", "refresh_failed", "token CLI could not run");
            break;
        case TOOL_TIMED_OUT:
            emit_error(200, "OK", "refresh_failed", "token CLI timed out");
            break;
        case TOOL_RAN:
            if (!line.text) {
                emit_error(200, "OK", "refresh_failed", "token CLI produced no JSON");
                break;
            }
            read_token_answer(line.text, line.end, &a);
            if (!a.has_access_token) {
                emit_tool_refusal("refresh_failed", "token CLI returned no token", &line);
                break;
            }
            // The tool's answer overrides the snapshot's expiry and fills an
            // organisation that the credentials lacked.
            if (a.expires_at > 0) st.expires_at = a.expires_at;
            st.expired = st.expires_at > 0 && st.expires_at < plat_now();
            if (a.org_id[0] && !st.org_id[0]) {
                snprintf(st.org_id, sizeof st.org_id, "%s", a.org_id);
                snprintf(st.account, sizeof st.account, "%s", a.org_id);
            }
            emit_status_document(&st, LEAD_REFRESHED);
            status = 0;
            break;
    }
    buf_free(&capture);
    return status;
}
