// Text rules that hold for ASCII letters alone, whatever the locale: a
// request's words (such as the Authorization scheme word) are compared
// the same way on every platform, and bytes above 0x7F are never folded.
#pragma once

#include <stddef.h>

// The byte with 'A'-'Z' taken to 'a'-'z'; every other byte as it is.
inline unsigned char ascii_lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c - 'A' + 'a') : c;
}

// Compares at most n bytes of a and b, taking 'A'-'Z' and 'a'-'z' as the
// same letter; the comparison stops after a NUL that both share. 0 when
// equal, else the difference of the first differing bytes (lower-cased,
// as unsigned char).
int ascii_strnicmp(const char *a, const char *b, size_t n);
