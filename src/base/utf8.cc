#include "base/utf8.h"

const char UTF8_REPLACEMENT[] = "\xEF\xBF\xBD";
const char UTF8_BOM[] = "\xEF\xBB\xBF";

size_t utf8_unit(const char *p, size_t avail, int *well_formed) {
    const unsigned char *s = (const unsigned char *)p;
    unsigned char lead = s[0];
    *well_formed = 1;
    if (lead < 0x80) return 1;
    // Continuation bytes needed, and the range allowed for the first of
    // them: narrower after E0 and F0 (no overlong forms), ED (no
    // surrogates) and F4 (nothing above U+10FFFF).
    size_t more;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        // 80..BF cannot begin a character, C0, C1 and F5..FF never occur.
        *well_formed = 0;
        return 1;
    }
    size_t n = 1;
    while (n <= more && n < avail) {
        unsigned char c = s[n];
        if (c < low || c > high) break;
        low = 0x80;
        high = 0xBF;
        n++;
    }
    if (n != more + 1) *well_formed = 0;
    return n;
}
