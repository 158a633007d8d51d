// The sign-in snapshot of a node, collected afresh for every request from
// the credentials file (or the fallback token file), the pending marker,
// the profile marker, the login tool's status report and the token tool
// probe, and the status document that renders it.
#pragma once

#include "base/buf.h"
#include "base/limits.h"
#include "base/sha256.h"
#include "tools/tool_contract.h"

struct Status {
    char path[PATH_CAP];           // credentials path in use (or the fallback token path read)
    char account[NAME_CAP];        // credentials "org_id", else the login tool's "account"
    char org_id[NAME_CAP];         // credentials "org_id"
    char profile[NAME_CAP];        // always "grandlumivane"
    long long expires_at;          // Unix seconds; 0 when unknown; never negative
    int logged_in;                 // access token present, or the tool says so
    int has_refresh;               // refresh token present, or the tool says so
    int expired;                   // 1 only when expires_at > 0 and already past
    int pending;                   // a device login is pending
    long long pending_age_sec;     // now - marker "created"; -1 when unknown
    int profile_exists;            // profile marker exists, or the tool says so
    int cli_present;               // the login tool could be run
    int pending_file_missing;      // no pending marker (implies pending_age_sec == -1)
    int cli_ok;                    // the tool's report said ok (0 whenever !cli_present)
    int token_cli_present;         // the token tool could be run
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

// The content_id of the pending marker's text (up to its first NUL) into
// out: 1, or 0 with out empty when there is no marker file to read. Two
// starts give two names however close they were, since their markers
// differ (a fresh code each), and the name never shows the code.
int pending_marker_id(char out[CONTENT_ID_CAP]);

// Fills every field of *st. Never fails: what a source lacks shows in the
// fields. Token values are only tested for presence, never copied. The
// token tool's presence probe runs beside the login tool's --status, in
// its own time (TOKEN_PROBE_MAX_MS), so that it never takes the login
// tool's.
void collect_status(Status *st);

// The same without the token tool: token_cli_present stays 0, meaning
// "not asked". Start, poll and cancel decide on the login tool alone, and
// a token tool that hangs must not hold them up; the few answers of
// theirs that render a snapshot probe the token tool then
// (probe_token_tool), or collect a whole fresh one.
void collect_login_status(Status *st);

// Fills st->token_cli_present by probing the token tool now.
void probe_token_tool(Status *st);

// Merges the login tool's --status report into a snapshot that the files
// have filled. The report fills only what the files left empty (account,
// expires_at) and raises the flags they left at 0 (logged_in, has_refresh,
// profile_exists; pending only when there is no pending marker at all);
// it never lowers a flag. cli_ok is the report's ok, and cli_error and
// cli_detail its error and detail when ok is not set.
void merge_status_report(Status *st, const StatusReport *r);

// What opens a status document, ahead of the members every one carries.
enum StatusLead {
    LEAD_PLAIN,      // {"ok":true,...: the status action's answer
    LEAD_DONE,       // {"ok":true,"state":"done",...: a poll that finished the login
    LEAD_CANCELLED,  // {"ok":true,"state":"cancelled",...
    LEAD_REFRESHED,  // {"ok":true,"refreshed":true,...
};

// Appends the whole status document for *st, line feed included, to out.
// Returns 0 when an append failed (out may then hold part of a document).
int append_status_document(Buf *out, const Status *st, StatusLead lead);
