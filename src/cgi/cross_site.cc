#include "cgi/cross_site.h"

#include <string.h>

#include "base/ascii.h"

// A host and port as they stand in a Host header or after an Origin's
// "scheme://". `port` is the number written, or NO_PORT when none is.
struct HostPort {
    const char *host;
    size_t host_len;
    long port;
};

static const long NO_PORT = -1;
static const long PORT_MAX = 65535;
static const size_t PORT_DIGITS_MAX = 5;

// Reads "host", "host:port", "[v6]" or "[v6]:port" from the n bytes at s.
// An empty port ("host:") counts as none. Returns 0 for anything else: an
// empty host, a port that is not 1 to 5 digits up to 65535, or a byte that
// no host holds (a path, user information, a space or a control byte).
static int parse_host_port(const char *s, size_t n, HostPort *out) {
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)s[i];
        if (c <= 0x20 || c == 0x7f || c == '/' || c == '@' || c == '?' || c == '#' || c == '\\') return 0;
    }
    size_t host_end;
    if (n > 0 && s[0] == '[') {
        const char *close = (const char *)memchr(s, ']', n);
        if (!close) return 0;
        host_end = (size_t)(close - s) + 1;
    } else {
        const char *colon = nullptr;
        for (size_t i = 0; i < n; i++) {
            if (s[i] == ':') colon = s + i;
        }
        host_end = colon ? (size_t)(colon - s) : n;
    }
    if (host_end == 0) return 0;
    out->host = s;
    out->host_len = host_end;
    out->port = NO_PORT;
    if (host_end == n) return 1;
    if (s[host_end] != ':') return 0;
    const char *digits = s + host_end + 1;
    size_t count = n - host_end - 1;
    if (count == 0) return 1;
    if (count > PORT_DIGITS_MAX) return 0;
    long port = 0;
    for (size_t i = 0; i < count; i++) {
        if (digits[i] < '0' || digits[i] > '9') return 0;
        port = port * 10 + (digits[i] - '0');
    }
    if (port > PORT_MAX) return 0;
    out->port = port;
    return 1;
}

// The port a scheme implies when the address names none; NO_PORT for a
// scheme without one known here.
static long default_port(const char *scheme, size_t n) {
    if (n == 4 && ascii_strnicmp(scheme, "http", 4) == 0) return 80;
    if (n == 5 && ascii_strnicmp(scheme, "https", 5) == 0) return 443;
    return NO_PORT;
}

// 1 when the Origin names the same host and port as the Host header.
static int origin_matches_host(const char *origin, const char *host) {
    const char *sep = strstr(origin, "://");
    if (!sep || sep == origin) return 0;
    long implied = default_port(origin, (size_t)(sep - origin));
    HostPort o, h;
    const char *authority = sep + 3;
    if (!parse_host_port(authority, strlen(authority), &o)) return 0;
    if (!parse_host_port(host, strlen(host), &h)) return 0;
    long origin_port = o.port != NO_PORT ? o.port : implied;
    long host_port = h.port != NO_PORT ? h.port : implied;
    if (origin_port == NO_PORT || host_port == NO_PORT) return 0;
    return o.host_len == h.host_len && ascii_strnicmp(o.host, h.host, o.host_len) == 0 && origin_port == host_port;
}

int cross_site_refused(const char *sec_fetch_site, const char *origin, const char *host) {
    if (sec_fetch_site) return strcmp(sec_fetch_site, "same-origin") != 0 && strcmp(sec_fetch_site, "none") != 0;
    if (origin) return !host || !origin_matches_host(origin, host);
    return 0;
}
