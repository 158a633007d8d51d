#include "actions/respond.h"

#include <string.h>

#include "cgi/emit.h"
#include "cgi/error_codes.h"
#include "platform/platform.h"
#include "state/paths.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

void emit_login_missing(void) { emit_error(200, "OK", ERR_CLI_UNAVAILABLE, LOGIN_MISSING_DETAIL); }

int login_cannot_start(const Status *st) { return !st->cli_present && strcmp(st->cli_error, CLI_SPAWN_FAILED) == 0; }

void emit_login_unstartable(const char *code) {
    emit_error(500, "Internal Server Error", code, "cannot spawn login CLI");
}

void emit_tool_refusal(const char *code, const char *fallback_detail, const ToolLine *line) {
    ToolRefusal r;
    read_tool_refusal(line->text, line->end, &r);
    emit_tool_error(200, "OK", code, r.detail[0] ? r.detail : fallback_detail, r.error);
}

int take_node_lock(void) {
    char marker[PATH_CAP];
    if (!pending_path(process_path_env(), marker)) return 1;
    return plat_node_lock(marker, request_deadline()) != NODE_LOCK_TIMED_OUT;
}

void release_node_lock(void) { plat_node_unlock(); }

void emit_status_document(const Status *st, StatusLead lead) {
    Buf out = {};
    append_status_document(&out, st, lead);
    emit_json(&out);
}

void emit_fresh_status(StatusLead lead) {
    Status fresh;
    collect_status(&fresh);
    emit_status_document(&fresh, lead);
}
