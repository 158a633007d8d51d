// A lenient reader that finds one key's value at the top level of a JSON
// object text without building a tree. It never reports an error and
// never allocates: anything it cannot use reads as a missing key (null,
// 0, the caller's fallback, or an untouched output).
//
// Text span: every reader takes `text` and `end` and reads only the bytes
// in [text, end); the text need not be NUL-terminated, and a NUL byte
// inside the span is a byte like any other (inside a string it decodes to
// U+FFFD; it ends a bare value as a comma does). Only end ends the text.
// Callers of files pass end = text + strlen(text) (a file's text ends at
// its first NUL); callers of a tool's answer pass the end of the capture.
// A UTF-8 byte-order mark at the start of the span is skipped.
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
// before end) into out and moves *cursor past it, or to end when the
// string is not closed before it. Returns 0, touching nothing, when
// *cursor is null, at or past end, or not at a quote. \uXXXX escapes
// decode to UTF-8 (a surrogate pair to one character); a lone surrogate,
// \u0000 and a NUL byte (bare or escaped) become U+FFFD, so that the
// output never holds a NUL of the text's own. A backslash directly
// before end stands for itself.
int json_read_string_at(const char **cursor, const char *end, char *out, size_t cap);

// 1 when the value is a string with something in it besides escape pairs:
// after the opening quote, each backslash and the byte after it are
// stepped over, and the first byte that is no part of such a pair
// decides: the closing quote, or end, gives 0; any other byte (a
// backslash directly before end too) gives 1. So "", "\n" and "\t\n"
// are not present, while "x", "\nx" and "\u0041" are (its digits are
// plain bytes). The string is never copied: this is how a token's
// presence is told.
int json_str_present(const char *text, const char *end, const char *key);

// The value as a signed 64-bit integer (a quoted number too); 0 when absent
// or not a number. Digit runs beyond the range saturate at its limits.
long long json_num_field(const char *text, const char *end, const char *key);

// 1 or 0 from the value; the fallback only when the key is absent. The
// first rule that matches the start of the value decides, by prefix and
// case-sensitively: true gives 1; false gives 0; a string gives 1 when it
// begins with true or 1; anything else gives 1 when its first byte is 1.
// Every other value, null, "yes", 2 and -1 among them, reads as 0.
int json_bool_field(const char *text, const char *end, const char *key, int fallback);

// Copies the value's text into out: a string decoded (1, also when it is
// empty), or a bare value (a number, true, false) as written up to a comma,
// a closing bracket, a NUL or end, without trailing whitespace (1 when that
// leaves something, else 0 with out empty). An absent key, a
// null (any unquoted value that begins with 'n': null, nan, nope), an
// object or an array value, and an unquoted value that holds '{',
// '[' or '"' anywhere before its end (a structure behind junk, such as
// true{...}) leave out untouched and return 0, so that no structured value
// (which may hold a token) is ever read as text.
int json_str_field(const char *text, const char *end, const char *key, char *out, size_t cap);

// json_str_field for a value that is no use cut: a value longer than cap - 1
// bytes (after decoding) is refused, never cut: out is left empty and the
// result is 0, as for an empty value.
int json_str_field_whole(const char *text, const char *end, const char *key, char *out, size_t cap);
