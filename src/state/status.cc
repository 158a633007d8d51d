#include "state/status.h"

#include <stdlib.h>
#include <string.h>

#include "base/buf.h"
#include "base/text.h"
#include "platform/platform.h"
#include "state/paths.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

// Reads the credentials file, or the fallback token file when the
// credentials path cannot be read, and says in path (PATH_CAP bytes) which
// path the snapshot shows. Returns the heap text or null.
static char *read_credentials(const PathEnv *env, char *path) {
    char *text = creds_path(env, path) ? read_file(path) : nullptr;
    if (text) return text;
    char fallback[PATH_CAP];
    if (fallback_token_path(env, fallback) && plat_exists(fallback)) {
        text = read_file(fallback);
        if (text) copy_text(path, PATH_CAP, fallback);
    }
    return text;
}

// The marker's text, or null when there is no marker file to read.
// *exists tells a marker that is there but unreadable from none at all.
static char *read_pending_marker(int *exists) {
    char path[PATH_CAP];
    *exists = pending_path(process_path_env(), path) && plat_exists(path);
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

// Gathers the sources, then decides; with probe_token, the token tool's
// probe runs beside the login tool's --status, its output never read.
static void collect(Status *st, int probe_token) {
    long long now = plat_now();
    const PathEnv *env = process_path_env();
    Sources src = {};
    src.login_command = login_bin();
    src.token_command = token_bin();

    ToolProbe probe = {nullptr, TOOL_NOT_STARTED};
    if (probe_token) probe_start(token_bin(), &TOKEN_PROBE, &probe);

    char creds_at[PATH_CAP];
    char *creds = read_credentials(env, creds_at);
    src.creds_path = creds_at;
    src.creds_text = creds;
    char *pending = read_pending_marker(&src.pending_exists);
    src.pending_text = pending;
    char marker[PATH_CAP];
    src.profile_marker_exists = profile_marker_path(env, marker) && plat_exists(marker);

    Buf capture = {};
    src.login_run = run_for_json_line(login_bin(), &LOGIN_STATUS, &capture, &src.login_answer);
    // Ran, or ran past its time: either way it is there.
    if (probe_token) src.token_present = probe_finish(&probe) > 0;

    status_from_sources(&src, now, st);
    buf_free(&capture);
    free(creds);
    free(pending);
}

void collect_status(Status *st) { collect(st, 1); }

void collect_login_status(Status *st) { collect(st, 0); }

void probe_token_tool(Status *st) {
    ToolProbe probe;
    probe_start(token_bin(), &TOKEN_PROBE, &probe);
    st->token_cli_present = probe_finish(&probe) > 0;
}
