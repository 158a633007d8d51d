#include <string.h>

#include "cgi/emit.h"
#include "cgi/entry.h"
#include "platform/platform.h"
#include "state/status.h"

static const char *flag(int v) { return v ? "true" : "false"; }

void emit_status_json(Buf *out, const Status *st, const char *opening) {
    // One clock reading, so that expires_in_sec == expires_at - now holds.
    long long now = plat_now();
    long long expires_in = st->expires_at > 0 ? st->expires_at - now : 0;
    const char *username = st->account[0] ? st->account : (st->logged_in ? "LumiVane" : "");

    buf_adds(out, opening ? opening : "{\"ok\":true");
    buf_adds(out, ",\"provider\":\"lumivane\"");
    buf_addf(out, ",\"logged_in\":%s", flag(st->logged_in));
    buf_adds(out, ",\"username\":");
    buf_json(out, username);
    buf_adds(out, ",\"account\":");
    buf_json(out, st->account);
    buf_adds(out, ",\"org_id\":");
    buf_json(out, st->org_id);
    buf_addf(out, ",\"expires_at\":%lld", st->expires_at);
    buf_addf(out, ",\"expires_in_sec\":%lld", expires_in);
    buf_addf(out, ",\"expired\":%s", flag(st->expired));
    buf_addf(out, ",\"has_refresh\":%s", flag(st->has_refresh));
    buf_addf(out, ",\"pending\":%s", flag(st->pending));
    if (st->pending_age_sec >= 0) buf_addf(out, ",\"pending_age_sec\":%lld", st->pending_age_sec);
    buf_adds(out, ",\"profile\":");
    buf_json(out, st->profile);
    buf_addf(out, ",\"profile_exists\":%s", flag(st->profile_exists));
    buf_addf(out, ",\"cli_present\":%s", flag(st->cli_present));
    buf_addf(out, ",\"token_cli_present\":%s", flag(st->token_cli_present));
    buf_adds(out, ",\"path\":");
    buf_json(out, st->path);
    if (st->cli_error[0]) {
        buf_adds(out, ",\"cli_error\":");
        buf_json(out, st->cli_error);
    }
    buf_adds(out, ",\"protocol\":\"VNLOGIN-MACHINE-V1\"");
    buf_adds(out, ",\"plugin\":\"plugin_lumivane_login\"");
    buf_addf(out, ",\"plugin_version\":\"%s\"", PLUGIN_VERSION);
    buf_addf(out, ",\"now\":%lld", now);
    buf_adds(out, "}\n");
}

int action_status(void) {
    Status st;
    collect_status(&st);
    Buf out = {};
    emit_status_json(&out, &st, nullptr);
    emit_json(&out);
    return 0;
}
