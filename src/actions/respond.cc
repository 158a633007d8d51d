#include "actions/respond.h"

#include "cgi/emit.h"
#include "tools/tool_contract.h"

void emit_login_missing(void) { emit_error(200, "OK", "cli_unavailable", LOGIN_MISSING_DETAIL); }

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
