// The response pieces the actions share. Internal to src/actions/.
#pragma once

#include "state/status.h"

// The login tool is not installed: "cli_unavailable" with HTTP 200.
void emit_login_missing(void);

// Writes the status document of *st under `lead`.
void emit_status_document(const Status *st, StatusLead lead);

// Collects a fresh snapshot (a tool has just changed the files) and writes
// its document under `lead`.
void emit_fresh_status(StatusLead lead);
