// A lenient reader that finds one key's value at the top level of a JSON
// object text without building a tree. It never reports an error and
// never allocates: anything it cannot use reads as a missing key (null,
// 0, the caller's fallback, or an untouched output).
//
// Text span: every reader takes `text` and `end` and reads only the bytes
// in [text, end); the text need not be NUL-terminated. A NUL byte inside
// the span ends a string as end does. Callers of files and tool lines pass
// end = text + strlen(text). A UTF-8 byte-order mark at the start of the
// span is skipped.
//
// Texts stored into an output array (capacity cap, at least 1) hold at
// most cap - 1 bytes and a NUL, and are cut between characters only: the
// decoded text is taken in units (utf8.h: a character, or an ill-formed
// run), and the unit that does not fit whole is dropped together with
// everything after it. Ill-formed runs are kept as they are; the JSON
// string writer replaces them.
#pragma once

#include <stddef.h>

// Position of the first byte of key's value at the top level, or null
// (also when no value byte follows the colon before end).
const char *json_find_key(const char *text, const char *end, const char *key);

// Decodes the string literal at *cursor (which must be at a double quote,
// before end) into out and moves *cursor past it, or onto the NUL or end
// that cut it short. Returns 0, touching nothing, when *cursor is null, at
// or past end, or not at a quote. \uXXXX escapes decode to UTF-8 (a
// surrogate pair to one character); a lone surrogate and \u0000 become
// U+FFFD, so that the output never holds a NUL of the text's own.
int json_read_string_at(const char **cursor, const char *end, char *out, size_t cap);

// 1 when the value is a string that holds at least one character after
// decoding ("\n" and "\u0000" each hold one). The string is never copied:
// this is how a token's presence is told.
int json_str_present(const char *text, const char *end, const char *key);

// The value as a signed 64-bit integer (a quoted number too); 0 when absent
// or not a number. Digit runs beyond the range saturate at its limits.
long long json_num_field(const char *text, const char *end, const char *key);

// 1 or 0 from the value (true, "true", 1, "1"...); fallback when absent.
int json_bool_field(const char *text, const char *end, const char *key, int fallback);

// Copies the value's text into out: a string decoded, a number, true or
// false as written. Returns 1 when a value was stored. An absent key, a
// null, an object or an array value, and an unquoted value that holds '{',
// '[' or '"' anywhere before its end (a structure behind junk, such as
// true{...}) leave out untouched and return 0, so that no structured value
// (which may hold a token) is ever read as text.
int json_str_field(const char *text, const char *end, const char *key, char *out, size_t cap);

// json_str_field for a value that is no use cut: a value longer than cap - 1
// bytes (after decoding) is refused, never cut: out is left empty and the
// result is 0, as for an empty value.
int json_str_field_whole(const char *text, const char *end, const char *key, char *out, size_t cap);
