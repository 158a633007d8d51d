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

static const char BEARER[] = "Bearer ";
static const size_t BEARER_LEN = sizeof BEARER - 1;

int password_passes(const char *password, const char *header, const char *authorization,
                    const char *query) {
    if (!password || !password[0]) return 1;
    size_t plen = strlen(password);
    if (header && equal_const_time(header, strlen(header), password, plen)) return 1;
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
    char pwd[PWD_CAP];
    if (get_query_val(query, "pwd", pwd, sizeof pwd) &&
        equal_const_time(pwd, strlen(pwd), password, plen))
        return 1;
    return 0;
}
