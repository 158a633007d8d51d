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

int lock_mutex_name(const char *marker_path, char *out, size_t cap) {
    uint64_t hash = 14695981039346656037ULL;  // FNV-1a offset basis
    for (const unsigned char *c = (const unsigned char *)marker_path; *c; c++) {
        unsigned char b = *c;
        if (b >= 'A' && b <= 'Z') b = (unsigned char)(b - 'A' + 'a');
        if (b == '/') b = '\\';
        hash ^= b;
        hash *= 1099511628211ULL;  // FNV-1a prime
    }
    int n = snprintf(out, cap, "Local\\lumivane-node-%016llx", (unsigned long long)hash);
    if (n < 0 || (size_t)n >= cap) {
        if (cap) out[0] = '\0';
        return 0;
    }
    return 1;
}
