#include "base/ascii.h"

int ascii_strnicmp(const char *a, const char *b, size_t n) {
    for (size_t i = 0; i < n; i++) {
        unsigned char x = ascii_lower((unsigned char)a[i]);
        unsigned char y = ascii_lower((unsigned char)b[i]);
        if (x != y) return (int)x - (int)y;
        if (x == '\0') return 0;
    }
    return 0;
}
