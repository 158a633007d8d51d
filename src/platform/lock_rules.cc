#include "platform/lock_rules.h"

#include "base/ascii.h"
#include "base/sha256.h"

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
        char c = (char)ascii_lower((unsigned char)full_path[i]);
        if (c == '/') c = '\\';
        out[i] = c;
    }
    return 1;
}

int lock_name(const char *key, char *out, size_t cap) {
    unsigned char digest[SHA256_BYTES];
    sha256(key, strlen(key), digest);
    static const char PREFIX[] = "lumivane-node-";
    if (sizeof PREFIX - 1 + 64 + 1 > cap) return none(out, cap);
    memcpy(out, PREFIX, sizeof PREFIX - 1);
    char *at = out + sizeof PREFIX - 1;
    for (size_t i = 0; i < SHA256_BYTES; i++) {
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
