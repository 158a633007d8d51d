#include "cgi/auth.h"

#include <string.h>

#include "base/ascii.h"
#include "base/limits.h"
#include "cgi/query.h"

// Equality without an early exit on the first differing byte. The lengths
// are compared openly; the content is not.
static int equal_const_time(const char *offered, size_t offered_len, const char *password,
                            size_t password_len) {
    if (offered_len != password_len) return 0;
    unsigned char diff = 0;
    for (size_t i = 0; i < password_len; i++) diff |= (unsigned char)(offered[i] ^ password[i]);
    return diff == 0;
}

// Equality of the password with the n bytes at offered once percent-decoded
// ("%" and two hex digits stand for that byte; a '%' without them stands
// for itself; '+' stays '+'). Decoded on the fly, so a value of any length
// is compared whole, and like equal_const_time without an early exit: the
// time depends on the offered value, never on the password's content.
static int equal_decoded_const_time(const char *offered, size_t n, const char *password, size_t password_len) {
    unsigned char diff = 0;
    size_t decoded = 0;
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)offered[i];
        if (c == '%' && n - i >= 3) {
            int hi = ascii_hex_value(offered[i + 1]), lo = ascii_hex_value(offered[i + 2]);
            if (hi >= 0 && lo >= 0) {
                c = (unsigned char)(hi * 16 + lo);
                i += 2;
            }
        }
        if (decoded < password_len) diff |= (unsigned char)(c ^ (unsigned char)password[decoded]);
        decoded++;
    }
    return decoded == password_len && diff == 0;
}

static const char BEARER[] = "Bearer ";
static const size_t BEARER_LEN = sizeof BEARER - 1;

int password_passes(const char *password, const char *header, const char *authorization,
                    const char *query) {
    if (!password || !password[0]) return 1;
    size_t plen = strlen(password);
    // The header as given or percent-decoded: a browser can put only
    // ISO-8859-1 into a header, so a console sends a password beyond
    // ASCII there percent-encoded, as it would in the query.
    if (header && (equal_const_time(header, strlen(header), password, plen) ||
                   equal_decoded_const_time(header, strlen(header), password, plen)))
        return 1;
    if (authorization) {
        // The scheme word is optional: the password may follow it, or
        // stand alone after any leading spaces.
        const char *a = authorization;
        while (*a == ' ') a++;
        if (strlen(a) >= BEARER_LEN && ascii_strnicmp(a, BEARER, BEARER_LEN) == 0) {
            a += BEARER_LEN;
            while (*a == ' ') a++;
        }
        if (equal_const_time(a, strlen(a), password, plen)) return 1;
    }
    // The whole pwd value, as given or percent-decoded: a host passes the
    // password on encoded, and browsers always encode a space, '&' or a
    // character beyond ASCII.
    size_t pwd_len;
    const char *pwd = query_value_span(query, "pwd", &pwd_len);
    if (pwd && (equal_const_time(pwd, pwd_len, password, plen) ||
                equal_decoded_const_time(pwd, pwd_len, password, plen)))
        return 1;
    return 0;
}
