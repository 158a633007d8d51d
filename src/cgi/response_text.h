// The bytes of the responses that do not depend on a tool or a file: the
// JSON header block, the fixed 401 and 500 responses, and the error
// document. Pure: emit.h writes them out.
#pragma once

#include "base/buf.h"

extern const char JSON_HEADER[];       // the header block of every JSON response
extern const char UNAUTHORIZED_RESPONSE[];  // the whole 401 response
// The whole 500 response that stands in for a document that could not be
// built: "Status: 500 ...", JSON_HEADER and a fixed error body.
extern const char BUILD_FAILED_RESPONSE[];

// Appends to out the whole error response that emit_error writes: the
// "Status: <status> <reason>" line, JSON_HEADER, and the document
// {"ok":false,"error":code[,"detail":detail]} (an empty detail is left
// out). Returns 0 when out has failed.
int build_error(Buf *out, int status, const char *reason, const char *code, const char *detail);

// The same error response for a failure a tool explained itself: after
// "detail", the member "tool_error" holds the tool's own error code (left
// out when empty), so that `code` stays the plugin's code for the action
// and the tool's reason still travels whole.
int build_tool_error(Buf *out, int status, const char *reason, const char *code, const char *detail,
                     const char *tool_error);
