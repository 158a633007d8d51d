// The status document: a snapshot (snapshot.h) written as the JSON body
// that the status action and the answers built on a snapshot carry. Pure:
// every member comes from the snapshot, its "now" and "expires_in_sec"
// from the snapshot's own clock reading. Files: status_document.cc.
#pragma once

#include "base/buf.h"
#include "state/snapshot.h"

// What opens a status document, ahead of the members every one carries.
enum StatusLead {
    LEAD_PLAIN,      // {"ok":true,...: the status action's answer
    LEAD_DONE,       // {"ok":true,"state":"done",...: a poll that finished the login
    LEAD_CANCELLED,  // {"ok":true,"state":"cancelled",...
    LEAD_REFRESHED,  // {"ok":true,"refreshed":true,...
};

// Appends the whole status document for *st, line feed included, to out.
// "expires_in_sec" is expires_at - now (0 when expires_at is unknown), so
// that a reader can check the one against the other. Returns 0 when an
// append failed (out has then failed, see buf.h).
int append_status_document(Buf *out, const Status *st, StatusLead lead);
