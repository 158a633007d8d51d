#include "state/snapshot.h"

#include <stdint.h>
#include <string.h>

#include "base/text.h"
#include "json/json_reader.h"
#include "state/path_rules.h"

const char CLI_NOT_FOUND[] = "cli_not_found";
const char CLI_SPAWN_FAILED[] = "cli_spawn_failed";

static void take_credentials(Status *st, const char *text) {
    const char *end = text + strlen(text);
    st->logged_in = json_str_present(text, end, "access_token");
    st->has_refresh = json_str_present(text, end, "refresh_token");
    st->expires_at = expiry_seconds(json_num_field(text, end, "expires_at"));
    if (st->expires_at == 0) {
        long long lifetime = json_num_field(text, end, "expires_in");
        long long now = st->now;
        // A lifetime near the 64-bit limit would overflow the sum: the
        // expiry then saturates at the largest time, which never passes.
        if (lifetime > 0) st->expires_at = (now > 0 && lifetime > INT64_MAX - now) ? INT64_MAX : now + lifetime;
    }
    if (json_str_field(text, end, "org_id", st->org_id, sizeof st->org_id))
        copy_text(st->account, sizeof st->account, st->org_id);
}

static void take_pending_marker(Status *st, int exists, const char *text) {
    if (!exists) {
        st->pending_file_missing = 1;
        return;
    }
    if (!text) {
        st->pending = 1;
        return;
    }
    content_id(text, strlen(text), st->pending_id);
    long long created = json_num_field(text, text + strlen(text), "created");
    if (created <= 0) {
        st->pending = 1;
        return;
    }
    // Unsigned so that a wrapped difference or a future "created" (a
    // negative age) is never pending.
    long long age = (long long)((unsigned long long)st->now - (unsigned long long)created);
    st->pending_age_sec = age;
    st->pending = (unsigned long long)age <= (unsigned long long)PENDING_WINDOW_SEC;
}

static void take_login_run(Status *st, ToolResult run, const ToolLine *answer) {
    switch (run) {
        case TOOL_NOT_FOUND:
            copy_text(st->cli_error, sizeof st->cli_error, CLI_NOT_FOUND);
            break;
        case TOOL_NOT_STARTED:
            copy_text(st->cli_error, sizeof st->cli_error, CLI_SPAWN_FAILED);
            break;
        case TOOL_TIMED_OUT:  // there, with an empty report
            st->cli_present = 1;
            st->cli_timed_out = 1;
            break;
        case TOOL_RAN:
            st->cli_present = 1;
            if (answer->text) {  // a tool that printed no JSON line adds nothing
                StatusReport report;
                read_status_report(answer->text, answer->end, &report);
                merge_status_report(st, &report);
            }
            break;
    }
}

static void decide_expired(Status *st) { st->expired = st->expires_at > 0 && st->expires_at < st->now; }

void status_from_sources(const Sources *src, long long now, Status *st) {
    memset(st, 0, sizeof *st);
    st->now = now;
    st->pending_age_sec = -1;
    copy_text(st->profile, sizeof st->profile, PROFILE_NAME);
    // A command is shown whole or not at all: a cut one would name another.
    copy_whole(st->login_command, sizeof st->login_command, src->login_command);
    copy_whole(st->token_command, sizeof st->token_command, src->token_command);
    copy_text(st->path, sizeof st->path, src->creds_path);

    if (src->creds_text) take_credentials(st, src->creds_text);
    take_pending_marker(st, src->pending_exists, src->pending_text);
    st->profile_exists = src->profile_marker_exists;
    take_login_run(st, src->login_run, &src->login_answer);
    decide_expired(st);
    st->token_cli_present = src->token_present;
}

void merge_status_report(Status *st, const StatusReport *r) {
    st->cli_ok = r->ok;
    if (!st->cli_ok) {
        copy_text(st->cli_error, sizeof st->cli_error, r->error);
        copy_text(st->cli_detail, sizeof st->cli_detail, r->detail);
    }
    if (!st->account[0]) copy_text(st->account, sizeof st->account, r->account);
    if (st->expires_at == 0) st->expires_at = r->expires_at;
    if (r->logged_in) st->logged_in = 1;
    if (r->has_refresh) st->has_refresh = 1;
    if (r->pending && !st->pending && st->pending_file_missing) st->pending = 1;
    if (r->profile_exists) st->profile_exists = 1;
}

void take_token_answer(Status *st, const TokenAnswer *a) {
    if (a->expires_at > 0) st->expires_at = a->expires_at;
    decide_expired(st);
    if (a->org_id[0] && !st->org_id[0]) {
        copy_text(st->org_id, sizeof st->org_id, a->org_id);
        copy_text(st->account, sizeof st->account, a->org_id);
    }
}
