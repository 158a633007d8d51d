// A lenient reader that finds one key's value at the top level of a JSON
// object text without building a tree. It never reports an error and
// never allocates: anything it cannot use reads as a missing key (null,
// 0, the caller's fallback, or an untouched output).
//
// Text span: every reader takes `text` and `end` = text + strlen(text).
// The key search and the whitespace around the colon stop at end; string
// decoding and value tests run on to the NUL.
#pragma once

#include <stddef.h>

// Position of the first byte of key's value at the top level, or null.
const char *json_find_key(const char *text, const char *end, const char *key);

// Decodes the string literal at *cursor (which must be at a double quote)
// into out (at most cap - 1 bytes, NUL-terminated) and moves *cursor past
// it, or onto the NUL of an unterminated string. Returns 0, touching
// nothing, when *cursor is null or not at a quote. \uXXXX escapes decode to
// UTF-8; a multi-byte character that does not fit whole is dropped.
int json_read_string_at(const char **cursor, char *out, size_t cap);

// 1 when the value is a string holding at least one character. The string
// is never copied: this is how a token's presence is told.
int json_str_present(const char *text, const char *end, const char *key);

// The value as a signed 64-bit integer (a quoted number too); 0 when absent
// or not a number. Digit runs beyond the range saturate at its limits.
long long json_num_field(const char *text, const char *end, const char *key);

// 1 or 0 from the value (true, "true", 1, "1"...); fallback when absent.
int json_bool_field(const char *text, const char *end, const char *key, int fallback);

// Copies the value's text into out. Returns 1 when a value was stored; an
// absent key or a null value leaves out untouched and returns 0.
int json_str_field(const char *text, const char *end, const char *key, char *out, size_t cap);
