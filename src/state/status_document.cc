#include "state/status_document.h"

#include "base/version.h"

static const char *lead_text(StatusLead lead) {
    switch (lead) {
        case LEAD_DONE: return "{\"ok\":true,\"state\":\"done\"";
        case LEAD_CANCELLED: return "{\"ok\":true,\"state\":\"cancelled\"";
        case LEAD_REFRESHED: return "{\"ok\":true,\"refreshed\":true";
        case LEAD_PLAIN: break;
    }
    return "{\"ok\":true";
}

int append_status_document(Buf *out, const Status *st, StatusLead lead) {
    long long now = st->now;
    long long expires_in = st->expires_at > 0 ? st->expires_at - now : 0;
    const char *username = st->account[0] ? st->account : (st->logged_in ? "LumiVane" : "");

    int ok = buf_adds(out, lead_text(lead));
    ok &= buf_adds(out, ",\"provider\":\"lumivane\"");
    ok &= buf_addf(out, ",\"logged_in\":%s", json_flag(st->logged_in));
    ok &= buf_adds(out, ",\"username\":");
    ok &= buf_json(out, username);
    ok &= buf_adds(out, ",\"account\":");
    ok &= buf_json(out, st->account);
    ok &= buf_adds(out, ",\"org_id\":");
    ok &= buf_json(out, st->org_id);
    ok &= buf_addf(out, ",\"expires_at\":%lld", st->expires_at);
    ok &= buf_addf(out, ",\"expires_in_sec\":%lld", expires_in);
    ok &= buf_addf(out, ",\"expired\":%s", json_flag(st->expired));
    ok &= buf_addf(out, ",\"has_refresh\":%s", json_flag(st->has_refresh));
    ok &= buf_addf(out, ",\"pending\":%s", json_flag(st->pending));
    if (st->pending_age_sec >= 0) ok &= buf_addf(out, ",\"pending_age_sec\":%lld", st->pending_age_sec);
    if (st->pending_id[0]) ok &= buf_addf(out, ",\"pending_id\":\"%s\"", st->pending_id);
    ok &= buf_adds(out, ",\"profile\":");
    ok &= buf_json(out, st->profile);
    ok &= buf_addf(out, ",\"profile_exists\":%s", json_flag(st->profile_exists));
    ok &= buf_addf(out, ",\"cli_present\":%s", json_flag(st->cli_present));
    ok &= buf_addf(out, ",\"token_cli_present\":%s", json_flag(st->token_cli_present));
    ok &= buf_adds(out, ",\"login_command\":");
    ok &= buf_json(out, st->login_command);
    ok &= buf_adds(out, ",\"token_command\":");
    ok &= buf_json(out, st->token_command);
    ok &= buf_adds(out, ",\"path\":");
    ok &= buf_json(out, st->path);
    if (st->cli_error[0]) {
        ok &= buf_adds(out, ",\"cli_error\":");
        ok &= buf_json(out, st->cli_error);
    }
    if (st->cli_detail[0]) {
        ok &= buf_adds(out, ",\"cli_detail\":");
        ok &= buf_json(out, st->cli_detail);
    }
    ok &= buf_adds(out, ",\"protocol\":\"VNLOGIN-MACHINE-V1\"");
    ok &= buf_adds(out, ",\"plugin\":\"plugin_lumivane_login\"");
    ok &= buf_adds(out, ",\"plugin_version\":\"" LUMIVANE_VERSION "\"");
    ok &= buf_addf(out, ",\"now\":%lld", now);
    ok &= buf_adds(out, "}\n");
    return ok;
}
