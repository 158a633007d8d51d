// Buf: the growable text buffer behind every response body and every
// captured tool output, and the JSON string encoding used by all documents.
//
// Ownership: a Buf is a zeroed local of the function that builds it; its
// owner releases it with buf_free (which frees `data` and zeroes the
// record), unless it hands the Buf to emit_json, which frees it.
//
// Failure is sticky: the first append that fails (the BUF_MAX_CAP limit,
// memory exhausted, or a buf_addf text too long to format) sets `failed`,
// and from then on every append fails and changes nothing. The text is
// then the complete text of the appends before that one, never a text with
// a piece missing; whoever writes the Buf out tests `failed` first.
#pragma once

#include <stddef.h>

struct Buf {
    char *data;  // NUL-terminated text while non-null; null until the first append
    size_t len;  // bytes of text, not counting the NUL; len + 1 <= cap
    size_t cap;  // 0, or BUF_FIRST_CAP * 2^k, at most BUF_MAX_CAP
    int failed;  // 1 once an append has failed; only buf_free clears it
};

// Every append returns 1 on success and 0 on failure. A failed append
// sets failed and leaves the text as it was: len, and the bytes up to it.
// Only buf_json, which appends piece by piece, may have grown data and
// cap before a later piece failed; all others leave them as they were.

// Makes room for n more bytes plus the terminating NUL.
int buf_need(Buf *b, size_t n);
// Appends a NUL-terminated text (never null).
int buf_adds(Buf *b, const char *text);
// Appends n bytes.
int buf_addn(Buf *b, const char *bytes, size_t n);
// Appends one byte: the low 8 bits of ch.
int buf_addc(Buf *b, int ch);
// Appends printf-formatted text of at most BUF_FORMAT_SCRATCH - 1 bytes.
// Longer output is never cut: the append fails, like a formatting error.
int buf_addf(Buf *b, const char *format, ...) __attribute__((format(printf, 2, 3)));
// Appends text as a JSON string literal, quotes included. The literal is
// always well-formed UTF-8: well-formed characters pass byte for byte,
// and each ill-formed unit (see utf8.h) becomes U+FFFD. Bytes below 0x20,
// the quote and the backslash are escaped. When a piece of the literal
// cannot be appended, the pieces before it are taken out again: the text
// is as it was before the call, never a literal left open.
int buf_json(Buf *b, const char *text);
// The JSON word for a flag: "true" for any non-zero value, else "false".
inline const char *json_flag(int v) { return v ? "true" : "false"; }

// Releases the storage and leaves b empty, failed cleared.
void buf_free(Buf *b);
