// What the device-login actions share: the responses several of them write
// (a missing or unstartable login tool, a tool's refusal, a status
// document), and the node lock that start, poll, cancel and refresh hold
// around their work. Internal to src/actions/. Files: respond.cc.
#pragma once

#include "state/status.h"
#include "state/status_document.h"

// The login tool is not installed: "cli_unavailable" with HTTP 200.
void emit_login_missing(void);

// 1 when the snapshot found the login tool there but unable to start
// (CLI_SPAWN_FAILED): unlike a missing tool, that is a failure to report.
int login_cannot_start(const Status *st);

// The login tool could not be started: `code` with HTTP 500 and the detail
// "cannot spawn login CLI".
void emit_login_unstartable(const char *code);

// A tool refused and said why: `code` (the action's own failure code) with
// HTTP 200, the tool's detail (or `fallback_detail` when it gave none) and
// its error code as "tool_error". Reads the reason from the tool's line.
void emit_tool_refusal(const char *code, const char *fallback_detail, const ToolLine *line);

// Takes the node lock (platform.h) of the pending marker, waiting for it
// within the request's deadline. 0 when the deadline passed first: the
// caller then answers as for its own tool timing out, and runs nothing.
// Where there is no lock to be had (a marker path that names no file, no
// lock folder or mutex of the user's own), the request goes on without it
// rather than being refused: 1.
int take_node_lock(void);
void release_node_lock(void);

// Writes the status document of *st under `lead`.
void emit_status_document(const Status *st, StatusLead lead);

// Collects a fresh snapshot (a tool has just changed the files) and writes
// its document under `lead`.
void emit_fresh_status(StatusLead lead);
