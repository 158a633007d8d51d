// Collecting a node's sign-in snapshot: the one place that reads what the
// snapshot is decided from. It reads the clock once, the credentials file
// (or the fallback token file), the pending marker and the profile
// marker's existence, runs the login tool's --status and probes the token
// tool, then hands all of it to status_from_sources (snapshot.h), which
// decides. Collected afresh for every request, and again after a tool has
// changed the files (with a fresh clock reading: the tool may have written
// a marker created after the first one). Files: status.cc.
#pragma once

#include "base/sha256.h"
#include "state/snapshot.h"

// The content_id of the pending marker's text (up to its first NUL) into
// out: 1, or 0 with out empty when there is no marker file to read. Two
// starts give two names however close they were, since their markers
// differ (a fresh code each), and the name never shows the code.
int pending_marker_id(char out[CONTENT_ID_CAP]);

// Fills every field of *st. Never fails: what a source lacks shows in the
// fields. The token tool's presence probe runs beside the login tool's
// --status, in its own time (TOKEN_PROBE_MAX_MS), so that it never takes
// the login tool's.
void collect_status(Status *st);

// The same without the token tool: token_cli_present stays 0, meaning
// "not asked". Start, poll and cancel decide on the login tool alone, and
// a token tool that hangs must not hold them up; the few answers of
// theirs that render a snapshot probe the token tool then
// (probe_token_tool), or collect a whole fresh one.
void collect_login_status(Status *st);

// Fills st->token_cli_present by probing the token tool now.
void probe_token_tool(Status *st);
