#include "state/status.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "json/json_reader.h"
#include "platform/platform.h"
#include "state/paths.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

const char CLI_NOT_FOUND[] = "cli_not_found";
const char CLI_SPAWN_FAILED[] = "cli_spawn_failed";

static void copy_text(char *out, size_t cap, const char *src) { snprintf(out, cap, "%s", src); }

// Reads the credentials file, or the fallback token file when the
// credentials path cannot be read. Returns the heap text or null.
static char *read_credentials(Status *st) {
    char *text = creds_path(st->path) ? read_file(st->path) : nullptr;
    if (text) return text;
    char fallback[PATH_CAP];
    if (fallback_token_path(fallback) && plat_exists(fallback)) {
        text = read_file(fallback);
        if (text) copy_text(st->path, sizeof st->path, fallback);
    }
    return text;
}

static void take_credentials(Status *st, const char *text, long long now) {
    const char *end = text + strlen(text);
    st->logged_in = json_str_present(text, end, "access_token");
    st->has_refresh = json_str_present(text, end, "refresh_token");
    st->expires_at = expiry_seconds(json_num_field(text, end, "expires_at"));
    if (st->expires_at == 0) {
        long long lifetime = json_num_field(text, end, "expires_in");
        // A lifetime near the 64-bit limit would overflow the sum: the
        // expiry then saturates at the largest time, which never passes.
        if (lifetime > 0) st->expires_at = (now > 0 && lifetime > INT64_MAX - now) ? INT64_MAX : now + lifetime;
    }
    if (json_str_field(text, end, "org_id", st->org_id, sizeof st->org_id))
        copy_text(st->account, sizeof st->account, st->org_id);
}

// The marker's text, or null when there is no marker file to read.
// *exists tells a marker that is there but unreadable from none at all.
static char *read_pending_marker(int *exists) {
    char path[PATH_CAP];
    *exists = pending_path(path) && plat_exists(path);
    return *exists ? read_file(path) : nullptr;
}

int pending_marker_id(char out[CONTENT_ID_CAP]) {
    int exists;
    char *text = read_pending_marker(&exists);
    out[0] = '\0';
    if (!text) return 0;
    content_id(text, strlen(text), out);
    free(text);
    return 1;
}

static void take_pending_marker(Status *st, long long now) {
    int exists;
    char *text = read_pending_marker(&exists);
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
    free(text);
    if (created <= 0) {
        st->pending = 1;
        return;
    }
    // Unsigned so that a wrapped difference or a future "created" (a
    // negative age) is never pending.
    long long age = (long long)((unsigned long long)now - (unsigned long long)created);
    st->pending_age_sec = age;
    st->pending = (unsigned long long)age <= (unsigned long long)PENDING_WINDOW_SEC;
}

// A command shown whole or not at all: a cut one would name another.
static void copy_command(char *out, size_t cap, const char *command) {
    if (strlen(command) < cap) copy_text(out, cap, command);
}

// The snapshot; with probe_token, the token tool's probe runs beside the
// login tool's --status, its output never read.
static void collect(Status *st, int probe_token) {
    long long now = plat_now();
    memset(st, 0, sizeof *st);
    copy_text(st->profile, sizeof st->profile, "grandlumivane");
    copy_command(st->login_command, sizeof st->login_command, login_bin());
    copy_command(st->token_command, sizeof st->token_command, token_bin());
    st->pending_age_sec = -1;

    ToolProbe probe = {nullptr, TOOL_NOT_STARTED};
    if (probe_token) probe_start(token_bin(), TOKEN_PROBE, &probe);

    char *creds = read_credentials(st);
    if (creds) {
        take_credentials(st, creds, now);
        free(creds);
    }
    take_pending_marker(st, now);

    char marker[PATH_CAP];
    st->profile_exists = profile_marker_path(marker) && plat_exists(marker);

    Buf capture = {};
    ToolLine line;
    switch (run_for_json_line(login_bin(), LOGIN_STATUS, &capture, &line)) {
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
            if (line.text) {  // a tool that printed no JSON line adds nothing
                StatusReport report;
                read_status_report(line.text, line.end, &report);
                merge_status_report(st, &report);
            }
            break;
    }
    buf_free(&capture);

    st->expired = st->expires_at > 0 && st->expires_at < plat_now();
    // Ran, or ran past its time: either way it is there.
    if (probe_token) st->token_cli_present = probe_finish(&probe) > 0;
}

void collect_status(Status *st) { collect(st, 1); }

void collect_login_status(Status *st) { collect(st, 0); }

void probe_token_tool(Status *st) {
    ToolProbe probe;
    probe_start(token_bin(), TOKEN_PROBE, &probe);
    st->token_cli_present = probe_finish(&probe) > 0;
}
