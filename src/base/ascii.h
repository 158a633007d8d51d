// Text rules that hold for ASCII alone, whatever the locale: a request's
// words (such as the Authorization scheme word) are compared the same way
// on every platform, bytes above 0x7F are never folded, and hexadecimal
// digits are read the same way by every decoder (percent-encoding, JSON
// escapes).
#pragma once

#include <stddef.h>

// The byte with 'A'-'Z' taken to 'a'-'z'; every other byte as it is.
inline unsigned char ascii_lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c - 'A' + 'a') : c;
}

// The value of one hexadecimal digit ('0'-'9', 'a'-'f', 'A'-'F'), or -1
// for any other byte.
inline int ascii_hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Compares at most n bytes of a and b, taking 'A'-'Z' and 'a'-'z' as the
// same letter; the comparison stops after a NUL that both share. 0 when
// equal, else the difference of the first differing bytes (lower-cased,
// as unsigned char).
int ascii_strnicmp(const char *a, const char *b, size_t n);
