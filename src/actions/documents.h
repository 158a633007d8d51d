// The documents of the device-login actions that are not status documents,
// each appended whole to a Buf that the caller owns (and writes with
// emit_json). Pure: no clock, no environment, no output. Each returns 1,
// or 0 when an append failed (out has then failed, see buf.h, and emit_json
// writes its fixed stand-in instead).
#pragma once

#include "base/buf.h"
#include "tools/tool_contract.h"

// A started login: {"ok":true,"flow":"device_code",...} with the address,
// the code, the code's lifetime and the poll interval of *a (an answer
// with ok set, its defaults applied by read_start_answer), and last
// "pending_id", the name of the marker the start left (pending_marker_id),
// left out when empty: the node showed no marker for this login.
int append_device_code(Buf *out, const StartAnswer *a, const char *pending_id);

// The tool refused because credentials exist: a success with
// "already_logged_in", the tool's detail (or "credentials already exist"),
// logged_in as the snapshot before the start said, and the hint to force.
int append_already_logged_in(Buf *out, const StartAnswer *a, int logged_in);

// The tool said the login failed: {"ok":true,"state":"failed",...} with
// its error (or "poll_failed"), its detail when it gave one, and logged_in
// as the snapshot before the poll said.
int append_poll_failed(Buf *out, const PollAnswer *a, int logged_in);

// The login is still pending: ask again after `interval` seconds. Last,
// "pending_id" names the node's pending marker as the poll left it (left
// out when empty), so that a page sees at once that the node's pending
// login is no longer the one it started.
int append_poll_pending(Buf *out, int interval, const char *pending_id);

// The login tool is absent and the plugin removed the marker itself.
int append_local_cancel(Buf *out);
