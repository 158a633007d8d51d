// The sign-in snapshot of a node, decided from sources that are already
// read: the credentials file's text (or the fallback token file's), the
// pending marker's text, whether the profile marker exists, the login
// tool's --status answer and the token tool's probe. Nothing here reads a
// file, the environment or the clock, or runs a tool: the caller (status.h)
// gathers the sources and hands in one reading of the clock, `now`, on
// which every time rule of the snapshot is decided. Files: snapshot.cc.
#pragma once

#include "base/limits.h"
#include "base/sha256.h"
#include "tools/tool_contract.h"

struct Status {
    long long now;                 // the clock reading the snapshot was decided on (Unix seconds)
    char path[PATH_CAP];           // credentials path in use (or the fallback token path read)
    char account[NAME_CAP];        // credentials "org_id", else the login tool's "account"
    char org_id[NAME_CAP];         // credentials "org_id"
    char profile[NAME_CAP];        // always PROFILE_NAME
    long long expires_at;          // Unix seconds; 0 when unknown; never negative
    int logged_in;                 // access token present, or the tool says so
    int has_refresh;               // refresh token present, or the tool says so
    int expired;                   // 1 only when expires_at > 0 and before now
    int pending;                   // a device login is pending
    long long pending_age_sec;     // now - marker "created"; -1 when unknown
    int profile_exists;            // profile marker exists, or the tool says so
    int cli_present;               // the login tool could be run
    int pending_file_missing;      // no pending marker (implies pending_age_sec == -1)
    int cli_ok;                    // the tool's report said ok (0 whenever !cli_present)
    int token_cli_present;         // the token tool could be run (0 also: not asked)
    char cli_error[ERROR_TEXT_CAP];  // CLI_NOT_FOUND, CLI_SPAWN_FAILED or the tool's error
    // Not rendered: the login tool's --status ran into the request's
    // deadline, so a later run that could not start was held up by it.
    int cli_timed_out;
    char cli_detail[ERROR_TEXT_CAP]; // the tool's detail beside its error (empty when ok)
    char pending_id[CONTENT_ID_CAP]; // content_id of the pending marker's text; empty when unread
    // The commands the plugin runs for the two tools (LUMIVANE_LOGIN_BIN /
    // LUMIVANE_TOKEN_BIN, else the defaults), so that a page can name the
    // one that cannot start; empty when a command does not fit whole.
    char login_command[PATH_CAP];
    char token_command[PATH_CAP];
};

// The cli_error of a login tool that is not there, and of one that is
// there but cannot be started (cli_present is 0 with either).
extern const char CLI_NOT_FOUND[];     // "cli_not_found"
extern const char CLI_SPAWN_FAILED[];  // "cli_spawn_failed"

// What the snapshot is decided from, read by the caller. Texts end at
// their first NUL; none is kept past status_from_sources.
struct Sources {
    const char *creds_path;     // the credentials path in use, or the fallback token path when that was read; "" for none
    const char *creds_text;     // that file's text; null when none was read
    int pending_exists;         // something is at the pending marker's path
    const char *pending_text;   // the marker's text; null when absent or unreadable
    int profile_marker_exists;  // something is at the profile marker's path
    const char *login_command;  // the login tool's command
    const char *token_command;  // the token tool's command
    ToolResult login_run;       // how the login tool's --status went
    ToolLine login_answer;      // its answer when login_run is TOOL_RAN (text null: none)
    int token_present;          // the token tool's probe found it (0: absent, or not asked)
};

// Fills every field of *st from *src, on the clock reading `now`. Never
// fails: what a source lacks shows in the fields. Token values are only
// tested for presence, never copied.
//
// The credentials give logged_in and has_refresh (a non-empty token text),
// org_id (and account), and expires_at: "expires_at" (milliseconds above
// MILLISECOND_THRESHOLD), else now + "expires_in", saturating at the
// largest time. A marker is pending while now - "created" is within
// PENDING_WINDOW_SEC; one without a positive "created", or unreadable,
// is pending with no age; a "created" after now is not pending. The
// login tool's answer is merged as merge_status_report says; expired is
// decided last, on now.
void status_from_sources(const Sources *src, long long now, Status *st);

// Merges the login tool's --status report into a snapshot that the files
// have filled. The report fills only what the files left empty (account,
// expires_at) and raises the flags they left at 0 (logged_in, has_refresh,
// profile_exists; pending only when there is no pending marker at all);
// it never lowers a flag. cli_ok is the report's ok, and cli_error and
// cli_detail its error and detail when ok is not set.
void merge_status_report(Status *st, const StatusReport *r);

// Takes the token tool's answer to a refresh into the snapshot: its expiry
// overrides the snapshot's when it gives one, expired is decided again on
// the snapshot's now, and its org_id fills an organisation (and account)
// that the credentials lacked.
void take_token_answer(Status *st, const TokenAnswer *a);
