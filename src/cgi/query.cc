#include "cgi/query.h"

#include <string.h>

#include "base/text.h"

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

const char *query_value_span(const char *query, const char *name, size_t *len) {
    *len = 0;
    if (!query) return nullptr;
    size_t n = strlen(name);
    const char *p = query;
    while (*p) {
        if (strncmp(p, name, n) == 0 && p[n] == '=') {
            const char *v = p + n + 1;
            *len = strcspn(v, "&");
            return v;
        }
        p = strchr(p, '&');
        if (!p) return nullptr;
        p++;
    }
    return nullptr;
}

int get_query_val(const char *query, const char *name, char *out, size_t cap) {
    out[0] = '\0';
    size_t len;
    const char *v = query_value_span(query, name, &len);
    if (!v) return 0;
    copy_span(out, cap, v, len);
    return 1;
}
