#include "cgi/query.h"

#include <string.h>

int query_has(const char *query, const char *name) {
    if (!query) return 0;
    size_t n = strlen(name);
    const char *p = query;
    while (*p) {
        if (strncmp(p, name, n) == 0 && (p[n] == '\0' || p[n] == '&' || p[n] == '=')) return 1;
        p = strchr(p, '&');
        if (!p) return 0;
        p++;
    }
    return 0;
}

int get_query_val(const char *query, const char *name, char *out, size_t cap) {
    out[0] = '\0';
    if (!query) return 0;
    size_t n = strlen(name);
    const char *p = query;
    while (*p) {
        if (strncmp(p, name, n) == 0 && p[n] == '=') {
            const char *v = p + n + 1;
            size_t k = 0;
            while (v[k] && v[k] != '&' && k < cap - 1) {
                out[k] = v[k];
                k++;
            }
            out[k] = '\0';
            return 1;
        }
        p = strchr(p, '&');
        if (!p) return 0;
        p++;
    }
    return 0;
}
