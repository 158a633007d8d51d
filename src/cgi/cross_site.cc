#include "cgi/cross_site.h"

#include <string.h>

#include "base/ascii.h"
#include "base/utf8.h"

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

// 1 for a dotted quad of decimal numbers 0-255 written without leading
// zeros ("127.0.0.1"). Browsers write an IPv4 host this way whatever the
// address bar held, and no DNS name is made only of digits and dots.
static int is_ipv4(const char *s, size_t n) {
    size_t at = 0;
    for (int part = 0; part < 4; part++) {
        if (part > 0) {
            if (at >= n || s[at] != '.') return 0;
            at++;
        }
        size_t start = at;
        int value = 0;
        while (at < n && s[at] >= '0' && s[at] <= '9' && at - start < 3) {
            value = value * 10 + (s[at] - '0');
            at++;
        }
        size_t digits = at - start;
        if (digits == 0 || value > 255 || (digits > 1 && s[start] == '0')) return 0;
    }
    return at == n;
}

// 1 for an IPv6 address as it stands between the brackets: eight groups
// of 1-4 hex digits, or fewer with one "::" for the missing ones, the last
// two groups possibly written as an IPv4 quad. No zone ("%eth0").
static int is_ipv6(const char *s, size_t n) {
    const size_t GROUPS = 8;
    size_t groups = 0;
    int elided = 0;
    size_t at = 0;
    if (n >= 2 && s[0] == ':' && s[1] == ':') {
        elided = 1;
        at = 2;
    } else if (n >= 1 && s[0] == ':') {
        return 0;
    }
    while (at < n) {
        size_t start = at;
        while (at < n && ascii_hex_value(s[at]) >= 0 && at - start < 4) at++;
        if (at < n && s[at] == '.') {
            // A trailing IPv4 quad takes the place of two groups.
            if (!is_ipv4(s + start, n - start)) return 0;
            groups += 2;
            at = n;
            break;
        }
        if (at == start) return 0;
        groups++;
        if (at == n) break;
        if (s[at] != ':') return 0;
        at++;
        if (at < n && s[at] == ':') {
            if (elided) return 0;
            elided = 1;
            at++;
        } else if (at == n) {
            return 0;  // a single trailing ':'
        }
    }
    return elided ? groups < GROUPS : groups == GROUPS;
}

// 1 for a DNS name: labels of letters, digits, '-' and '_' joined by
// single dots, none empty.
static int is_dns_name(const char *s, size_t n) {
    if (n == 0) return 0;
    size_t label = 0;
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)s[i];
        if (c == '.') {
            if (label == 0) return 0;
            label = 0;
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                   c == '_') {
            label++;
        } else {
            return 0;
        }
    }
    return label > 0;
}

// A host as the rule compares it: the name of a "host[:port]" text without
// its port and without the one dot that may end a fully qualified name.
// `literal` is 1 for an IP address. Returns 0 when the text is no host.
struct HostName {
    const char *name;
    size_t len;
    int literal;
};

static int read_host_name(const char *s, size_t n, HostName *out) {
    HostPort hp;
    if (!parse_host_port(s, n, &hp)) return 0;
    if (hp.host[0] == '[') {
        // parse_host_port ends a bracketed host at its ']'
        out->name = hp.host;
        out->len = hp.host_len;
        out->literal = is_ipv6(hp.host + 1, hp.host_len - 2);
        return out->literal;
    }
    size_t len = hp.host_len;
    if (len > 1 && hp.host[len - 1] == '.') len--;
    out->name = hp.host;
    out->len = len;
    out->literal = is_ipv4(hp.host, len);
    return out->literal || is_dns_name(hp.host, len);
}

static int is_space(char c) { return c == ' ' || c == '\t'; }

// 1 when one of the comma-separated entries of `allowed` names `h`.
static int listed(const HostName *h, const char *allowed) {
    const char *at = allowed;
    while (*at) {
        const char *end = strchr(at, ',');
        if (!end) end = at + strlen(at);
        const char *first = at;
        const char *last = end;
        while (first < last && is_space(*first)) first++;
        while (last > first && is_space(last[-1])) last--;
        HostName entry;
        if (last > first && read_host_name(first, (size_t)(last - first), &entry) && entry.len == h->len &&
            ascii_strnicmp(entry.name, h->name, h->len) == 0) {
            return 1;
        }
        at = *end ? end + 1 : end;
    }
    return 0;
}

int host_allowed(const char *host, const char *allowed) {
    if (!host) return 1;
    HostName h;
    if (!read_host_name(host, strlen(host), &h)) return 0;
    if (h.literal) return 1;
    if (h.len == 9 && ascii_strnicmp(h.name, "localhost", 9) == 0) return 1;
    return allowed && listed(&h, allowed);
}

size_t host_shown_len(const char *host, size_t cap) {
    size_t n = strlen(host);
    size_t at = 0;
    while (at < n) {
        int well_formed;
        size_t unit = utf8_unit(host + at, n - at, &well_formed);
        if (at + unit > cap) break;
        at += unit;
    }
    return at;
}
