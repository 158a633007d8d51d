// The ways a response leaves the process. Exactly one response is written
// per request: a JSON document (emit_json), the error document
// (emit_error), the page, or a fixed 401 refusal (emit_unauthorized, or
// the HTML refusal page of page.h for a browser's page request).
//
// A document is never written with a piece missing: when the Buf behind
// emit_json or emit_error has failed (see buf.h), the fixed
// BUILD_FAILED_RESPONSE goes out in its place.
#pragma once

#include "base/buf.h"
#include "cgi/response_text.h"

// Writes the JSON header block and the text of b, then frees b and leaves
// it empty. The document must end with its own "}\n". A failed b gives
// BUILD_FAILED_RESPONSE instead.
void emit_json(Buf *b);

// Writes the error response that build_error (response_text.h) builds. If
// it cannot be built, BUILD_FAILED_RESPONSE is written instead.
void emit_error(int status, const char *reason, const char *code, const char *detail);

// The same with the tool's own error code beside the detail
// (build_tool_error).
void emit_tool_error(int status, const char *reason, const char *code, const char *detail,
                     const char *tool_error);

// Writes the fixed 401 response that refuses a request without the node
// password. It does not tell which way of presenting the password failed.
void emit_unauthorized(void);
