#include "platform/lock_rules.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

// Cuts out (a directory path) back to its parent in place. Returns 0 when
// it has none: "/" and "." are the last.
static int to_parent(char *out) {
    if (strcmp(out, "/") == 0 || strcmp(out, ".") == 0) return 0;
    char *sep = strrchr(out, '/');
    if (!sep) {
        memcpy(out, ".", 2);  // the caller made room for it
    } else if (sep == out) {
        out[1] = '\0';
    } else {
        *sep = '\0';
    }
    return 1;
}

int lock_directory(const char *marker_path, LockDirTest is_dir, void *ctx, char *out, size_t cap) {
    if (cap == 0) return 0;
    out[0] = '\0';
    size_t n = strlen(marker_path);
    // Room for the path, or for "." when it has no directory part.
    if (n + 1 > cap || cap < 2) return 0;
    memcpy(out, marker_path, n + 1);
    // The marker's own directory first, then its parents.
    while (to_parent(out)) {
        if (out[0] && is_dir(out, ctx)) return 1;
    }
    out[0] = '\0';
    return 0;
}

// Empties out and answers 0: every failure below leaves no half text.
static int none(char *out, size_t cap) {
    if (cap) out[0] = '\0';
    return 0;
}

int lock_key_posix(const char *marker_path, const char *dir, const char *resolved, char *out, size_t cap) {
    size_t dn = strlen(dir);
    const char *rest = marker_path;
    // dir is the marker's path cut at a '/', or "." for a relative path
    // whose first directory does not exist.
    int prefix = strncmp(marker_path, dir, dn) == 0 &&
                 (marker_path[dn] == '/' || marker_path[dn] == '\0' || strcmp(dir, "/") == 0);
    if (prefix) rest = marker_path + dn;
    size_t len = strlen(resolved);
    if (len + 1 > cap) return none(out, cap);
    memcpy(out, resolved, len + 1);
    while (len > 1 && out[len - 1] == '/') out[--len] = '\0';
    for (const char *p = rest; *p;) {
        if (*p == '/') {
            p++;
            continue;
        }
        size_t n = strcspn(p, "/");
        if (n == 2 && p[0] == '.' && p[1] == '.') {
            char *sep = strrchr(out, '/');
            len = sep && sep != out ? (size_t)(sep - out) : 1;
            out[len] = '\0';
        } else if (!(n == 1 && p[0] == '.')) {
            int slash = !(len == 1 && out[0] == '/');
            if (len + slash + n + 1 > cap) return none(out, cap);
            if (slash) out[len++] = '/';
            memcpy(out + len, p, n);
            len += n;
            out[len] = '\0';
        }
        p += n;
    }
    return 1;
}

static int is_sep(char c) { return c == '\\' || c == '/'; }

int lock_windows_input(const char *marker_path, char *out, size_t cap) {
    const char *p = marker_path;
    const char *lead = "";
    if (is_sep(p[0]) && is_sep(p[1]) && p[2] == '?' && is_sep(p[3])) {
        p += 4;
        if ((p[0] == 'U' || p[0] == 'u') && (p[1] == 'N' || p[1] == 'n') && (p[2] == 'C' || p[2] == 'c') &&
            is_sep(p[3])) {
            p += 4;
            lead = "\\\\";
        }
    }
    int n = snprintf(out, cap, "%s%s", lead, p);
    if (n < 0 || (size_t)n >= cap) return none(out, cap);
    return 1;
}

int lock_key_windows(const char *full_path, char *out, size_t cap) {
    size_t n = strlen(full_path);
    if (n + 1 > cap) return none(out, cap);
    for (size_t i = 0; i <= n; i++) {
        char c = full_path[i];
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
        if (c == '/') c = '\\';
        out[i] = c;
    }
    return 1;
}

// SHA-256 (FIPS 180-4), enough of it for one short text.
struct Sha256 {
    uint32_t h[8];
    unsigned char block[64];
    size_t used;      // bytes in block, below 64
    uint64_t total;   // bytes taken in
};

static uint32_t rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

static void sha256_block(Sha256 *s, const unsigned char *b) {
    static const uint32_t K[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
        0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
        0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
        0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
        0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
        0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
        0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
    };
    uint32_t w[64];
    for (int i = 0; i < 16; i++) {
        w[i] = (uint32_t)b[4 * i] << 24 | (uint32_t)b[4 * i + 1] << 16 | (uint32_t)b[4 * i + 2] << 8 | b[4 * i + 3];
    }
    for (int i = 16; i < 64; i++) {
        uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
        uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = s->h[0], bb = s->h[1], c = s->h[2], d = s->h[3];
    uint32_t e = s->h[4], f = s->h[5], g = s->h[6], h = s->h[7];
    for (int i = 0; i < 64; i++) {
        uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + K[i] + w[i];
        uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & bb) ^ (a & c) ^ (bb & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = bb;
        bb = a;
        a = t1 + t2;
    }
    s->h[0] += a;
    s->h[1] += bb;
    s->h[2] += c;
    s->h[3] += d;
    s->h[4] += e;
    s->h[5] += f;
    s->h[6] += g;
    s->h[7] += h;
}

static void sha256_take(Sha256 *s, const unsigned char *p, size_t n) {
    s->total += n;
    while (n > 0) {
        size_t take = 64 - s->used < n ? 64 - s->used : n;
        memcpy(s->block + s->used, p, take);
        s->used += take;
        p += take;
        n -= take;
        if (s->used == 64) {
            sha256_block(s, s->block);
            s->used = 0;
        }
    }
}

static void sha256(const char *text, unsigned char digest[32]) {
    Sha256 s = {{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19},
                {},
                0,
                0};
    sha256_take(&s, (const unsigned char *)text, strlen(text));
    uint64_t bits = s.total * 8;
    static const unsigned char one = 0x80, zero = 0;
    sha256_take(&s, &one, 1);
    while (s.used != 56) sha256_take(&s, &zero, 1);
    unsigned char len[8];
    for (int i = 0; i < 8; i++) len[i] = (unsigned char)(bits >> (56 - 8 * i));
    sha256_take(&s, len, 8);
    for (int i = 0; i < 8; i++) {
        for (int j = 0; j < 4; j++) digest[4 * i + j] = (unsigned char)(s.h[i] >> (24 - 8 * j));
    }
}

int lock_name(const char *key, char *out, size_t cap) {
    unsigned char digest[32];
    sha256(key, digest);
    static const char PREFIX[] = "lumivane-node-";
    if (sizeof PREFIX - 1 + 64 + 1 > cap) return none(out, cap);
    memcpy(out, PREFIX, sizeof PREFIX - 1);
    char *at = out + sizeof PREFIX - 1;
    for (int i = 0; i < 32; i++) {
        static const char HEX[] = "0123456789abcdef";
        *at++ = HEX[digest[i] >> 4];
        *at++ = HEX[digest[i] & 15];
    }
    *at = '\0';
    return 1;
}

// The length of an absolute folder path without its trailing slashes ("/"
// gives 0, so that the name after it begins with the one slash).
static size_t trimmed(const char *dir) {
    size_t n = strlen(dir);
    while (n > 0 && dir[n - 1] == '/') n--;
    return n;
}

int lock_folder(int index, const char *home, const char *tmpdir, unsigned long uid, char *out, size_t cap) {
    int n = -1;
    int home_ok = home && home[0] == '/';
    // Without a usable home the first candidate is the temporary one.
    if (!home_ok) index++;
    if (index == 0) {
        n = snprintf(out, cap, "%.*s/.plugin_lumivane_login", (int)trimmed(home), home);
    } else if (index == 1) {
        const char *tmp = tmpdir && tmpdir[0] == '/' ? tmpdir : "/tmp";
        n = snprintf(out, cap, "%.*s/plugin_lumivane_login-%lu", (int)trimmed(tmp), tmp, uid);
    }
    if (n < 0 || (size_t)n >= cap) return none(out, cap);
    return 1;
}
