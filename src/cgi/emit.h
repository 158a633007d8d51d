// The ways a response leaves the process. Exactly one response is written
// per request: a JSON document (emit_json), the error document
// (emit_error), the page, or the fixed 401 refusal (emit_unauthorized).
#pragma once

#include "base/buf.h"

extern const char JSON_HEADER[];       // the header block of every JSON response
extern const char UNAUTHORIZED_RESPONSE[];  // the whole 401 response

// Writes the JSON header block and the text of b, then frees b and leaves
// it empty. The document must end with its own "}\n".
void emit_json(Buf *b);

// Writes the error document {"ok":false,"error":code[,"detail":detail]}
// under "Status: <status> <reason>". An empty detail is left out.
void emit_error(int status, const char *reason, const char *code, const char *detail);

// Writes the fixed 401 response that refuses a request without the node
// password. It does not tell which way of presenting the password failed.
void emit_unauthorized(void);

// Builds the same bytes that emit_error writes into out (for tests and
// for the fuzz target that checks the encoding). Returns out's append result.
int build_error(Buf *out, int status, const char *reason, const char *code, const char *detail);
