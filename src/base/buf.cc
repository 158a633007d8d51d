#include "base/buf.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/limits.h"
#include "base/utf8.h"

static int fail(Buf *b) {
    b->failed = 1;
    return 0;
}

int buf_need(Buf *b, size_t n) {
    if (b->failed) return 0;
    // Compare before adding so that a huge n cannot wrap around.
    if (n > BUF_MAX_CAP || b->len + 1 > BUF_MAX_CAP - n) return fail(b);
    size_t need = b->len + n + 1;
    if (b->cap >= need) return 1;
    size_t size = b->cap ? b->cap : BUF_FIRST_CAP;
    while (size < need) size *= 2;
    char *grown = (char *)realloc(b->data, size);
    if (!grown) return fail(b);
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
    // A text cut at the scratch size would go out as though it were whole.
    if (n < 0 || (size_t)n >= sizeof scratch) return fail(b);
    return buf_adds(b, scratch);
}

// Appends the literal piece by piece and stops at the first piece that
// fails, leaving the pieces before it in place (buf_json takes them out).
static int json_literal(Buf *b, const char *text) {
    if (!buf_addc(b, '"')) return 0;
    size_t left = strlen(text);
    const char *p = text;
    while (left > 0) {
        int well_formed;
        size_t n = utf8_unit(p, left, &well_formed);
        unsigned char c = (unsigned char)*p;
        int ok;
        if (!well_formed) {
            ok = buf_addn(b, UTF8_REPLACEMENT, UTF8_REPLACEMENT_LEN);
        } else if (n > 1) {
            ok = buf_addn(b, p, n);
        } else {
            switch (c) {
                case '"': ok = buf_adds(b, "\\\""); break;
                case '\\': ok = buf_adds(b, "\\\\"); break;
                case '\n': ok = buf_adds(b, "\\n"); break;
                case '\r': ok = buf_adds(b, "\\r"); break;
                case '\t': ok = buf_adds(b, "\\t"); break;
                default: ok = (c < 0x20) ? buf_addf(b, "\\u%04x", (unsigned)c) : buf_addc(b, c);
            }
        }
        if (!ok) return 0;
        p += n;
        left -= n;
    }
    return buf_addc(b, '"');
}

int buf_json(Buf *b, const char *text) {
    size_t len = b->len;
    if (json_literal(b, text)) return 1;
    // Only the pieces before the failed one were added: cut them off again.
    if (b->data) {
        b->len = len;
        b->data[len] = '\0';
    }
    return 0;
}

void buf_free(Buf *b) {
    free(b->data);
    b->data = nullptr;
    b->len = 0;
    b->cap = 0;
    b->failed = 0;
}
