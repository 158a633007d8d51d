#include "base/ascii.h"

static unsigned char ascii_lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c - 'A' + 'a') : c;
}

int ascii_strnicmp(const char *a, const char *b, size_t n) {
    for (size_t i = 0; i < n; i++) {
        unsigned char x = ascii_lower((unsigned char)a[i]);
        unsigned char y = ascii_lower((unsigned char)b[i]);
        if (x != y) return (int)x - (int)y;
        if (x == '\0') return 0;
    }
    return 0;
}
