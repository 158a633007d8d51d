// The five JSON actions. Each collects the status first, checks a
// precondition, runs at most one tool command of its own, and writes
// exactly one response. Each returns the process exit status. Their inputs
// come from the router: no action reads the request itself. Files: one per
// action (status.cc, start.cc, poll.cc, cancel.cc, refresh.cc).
#pragma once

int action_status(void);         // the status document, always exit status 0
int action_start(int force);     // begins a device-code login; force replaces credentials
int action_poll(void);           // asks once whether the pending login was approved
int action_cancel(void);         // abandons a pending login, through the tool or locally
int action_refresh(void);        // has the token tool confirm a live token
