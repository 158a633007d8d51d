#include "base/text.h"

#include <string.h>

void copy_span(char *out, size_t cap, const char *src, size_t n) {
    size_t k = n < cap - 1 ? n : cap - 1;
    memcpy(out, src, k);
    out[k] = '\0';
}

void copy_text(char *out, size_t cap, const char *src) { copy_span(out, cap, src, strlen(src)); }

int copy_whole(char *out, size_t cap, const char *src) {
    size_t n = strlen(src);
    if (n >= cap) {
        out[0] = '\0';
        return 0;
    }
    memcpy(out, src, n + 1);
    return 1;
}
