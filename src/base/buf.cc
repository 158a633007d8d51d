#include "base/buf.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/limits.h"

int buf_need(Buf *b, size_t n) {
    // Compare before adding so that a huge n cannot wrap around.
    if (n > BUF_MAX_CAP || b->len + 1 > BUF_MAX_CAP - n) return 0;
    size_t need = b->len + n + 1;
    if (b->cap >= need) return 1;
    size_t size = b->cap ? b->cap : BUF_FIRST_CAP;
    while (size < need) size *= 2;
    char *grown = (char *)realloc(b->data, size);
    if (!grown) return 0;
    b->data = grown;
    b->cap = size;
    return 1;
}

int buf_addn(Buf *b, const char *bytes, size_t n) {
    if (!buf_need(b, n)) return 0;
    memcpy(b->data + b->len, bytes, n);
    b->len += n;
    b->data[b->len] = '\0';
    return 1;
}

int buf_adds(Buf *b, const char *text) { return buf_addn(b, text, strlen(text)); }

int buf_addc(Buf *b, int ch) {
    char c = (char)(unsigned char)ch;
    return buf_addn(b, &c, 1);
}

int buf_addf(Buf *b, const char *format, ...) {
    char scratch[BUF_FORMAT_SCRATCH];
    va_list ap;
    va_start(ap, format);
    int n = vsnprintf(scratch, sizeof scratch, format, ap);
    va_end(ap);
    if (n < 0) return 0;
    return buf_adds(b, scratch);
}

int buf_json(Buf *b, const char *text) {
    if (!buf_addc(b, '"')) return 0;
    for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
        int ok;
        switch (*p) {
            case '"': ok = buf_adds(b, "\\\""); break;
            case '\\': ok = buf_adds(b, "\\\\"); break;
            case '\n': ok = buf_adds(b, "\\n"); break;
            case '\r': ok = buf_adds(b, "\\r"); break;
            case '\t': ok = buf_adds(b, "\\t"); break;
            default:
                ok = (*p < 0x20) ? buf_addf(b, "\\u%04x", (unsigned)*p) : buf_addc(b, *p);
        }
        if (!ok) return 0;
    }
    return buf_addc(b, '"');
}

void buf_free(Buf *b) {
    free(b->data);
    b->data = nullptr;
    b->len = 0;
    b->cap = 0;
}
