#include "json/json_reader.h"

#include <stdint.h>
#include <string.h>

#include "base/limits.h"

static int is_ws(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

static int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads up to four hex digits at *p; *p moves past the digits read.
static unsigned read_hex4(const char **p) {
    unsigned v = 0;
    for (int i = 0; i < 4; i++) {
        int h = hex_value(**p);
        if (h < 0) break;
        v = v * 16 + (unsigned)h;
        (*p)++;
    }
    return v;
}

static const unsigned REPLACEMENT_CHAR = 0xFFFD;

static size_t utf8_encode(unsigned cp, unsigned char *out) {
    if (cp < 0x80) {
        out[0] = (unsigned char)cp;
        return 1;
    }
    if (cp < 0x800) {
        out[0] = (unsigned char)(0xC0 | (cp >> 6));
        out[1] = (unsigned char)(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = (unsigned char)(0xE0 | (cp >> 12));
        out[1] = (unsigned char)(0x80 | ((cp >> 6) & 0x3F));
        out[2] = (unsigned char)(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = (unsigned char)(0xF0 | (cp >> 18));
    out[1] = (unsigned char)(0x80 | ((cp >> 12) & 0x3F));
    out[2] = (unsigned char)(0x80 | ((cp >> 6) & 0x3F));
    out[3] = (unsigned char)(0x80 | (cp & 0x3F));
    return 4;
}

// Decodes the code point of a \u escape whose digits start at *p. A high
// surrogate takes the low surrogate of a directly following \uXXXX with
// it; a lone surrogate and the code point 0 become U+FFFD.
static unsigned decode_u_escape(const char **p) {
    unsigned cp = read_hex4(p);
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        const char *q = *p;
        if (q[0] == '\\' && q[1] == 'u') {
            q += 2;
            const char *digits = q;
            unsigned lo = read_hex4(&q);
            if (q - digits == 4 && lo >= 0xDC00 && lo <= 0xDFFF) {
                *p = q;
                return 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
            }
        }
        return REPLACEMENT_CHAR;
    }
    if ((cp >= 0xDC00 && cp <= 0xDFFF) || cp == 0) return REPLACEMENT_CHAR;
    return cp;
}

int json_read_string_at(const char **cursor, char *out, size_t cap) {
    const char *p = *cursor;
    if (!p || *p != '"') return 0;
    p++;
    size_t stored = 0;
    int full = 0;  // once a character is dropped, every later one is too
    while (*p && *p != '"') {
        unsigned char seq[4];
        size_t n = 1;
        if (*p == '\\' && p[1]) {
            char e = p[1];
            p += 2;
            switch (e) {
                case 'b': seq[0] = 0x08; break;
                case 'f': seq[0] = 0x0C; break;
                case 'n': seq[0] = 0x0A; break;
                case 'r': seq[0] = 0x0D; break;
                case 't': seq[0] = 0x09; break;
                case 'u': n = utf8_encode(decode_u_escape(&p), seq); break;
                default: seq[0] = (unsigned char)e;
            }
        } else {
            seq[0] = (unsigned char)*p++;
        }
        if (!full && stored + n <= cap - 1) {
            memcpy(out + stored, seq, n);
            stored += n;
        } else {
            full = 1;
        }
    }
    out[stored] = '\0';
    if (*p == '"') p++;
    *cursor = p;
    return 1;
}

const char *json_find_key(const char *text, const char *end, const char *key) {
    if (!text) return nullptr;
    size_t key_len = strlen(key);
    const char *p = text;
    while (p < end && is_ws(*p)) p++;
    if (p >= end) return nullptr;
    if (*p == '{') p++;
    int level = 0;
    char candidate[JSON_KEY_CAP];
    while (p < end) {
        if (*p == '"') {
            json_read_string_at(&p, candidate, sizeof candidate);
            if (level == 0 && strlen(candidate) == key_len && memcmp(candidate, key, key_len) == 0) {
                const char *q = p;
                while (q < end && is_ws(*q)) q++;
                if (q < end && *q == ':') {
                    q++;
                    while (q < end && is_ws(*q)) q++;
                    return q < end ? q : nullptr;
                }
            }
            continue;
        }
        if (*p == '{' || *p == '[') level++;
        if (*p == '}' || *p == ']') level--;
        p++;
    }
    return nullptr;
}

int json_str_present(const char *text, const char *end, const char *key) {
    const char *v = json_find_key(text, end, key);
    if (!v || *v != '"') return 0;
    const char *p = v + 1;
    while (p[0] == '\\' && p[1]) p += 2;
    return *p != '"' && *p != '\0';
}

long long json_num_field(const char *text, const char *end, const char *key) {
    const char *p = json_find_key(text, end, key);
    if (!p) return 0;
    if (*p == '"') p++;
    int negative = 0;
    if (*p == '-') {
        negative = 1;
        p++;
    }
    if (*p < '0' || *p > '9') return 0;
    // Accumulate the magnitude, saturating at the range's limit on each side.
    const uint64_t limit = negative ? (uint64_t)INT64_MAX + 1 : (uint64_t)INT64_MAX;
    uint64_t v = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        unsigned d = (unsigned)(*p - '0');
        v = (v > (limit - d) / 10) ? limit : v * 10 + d;
    }
    if (!negative) return (long long)v;
    return v == (uint64_t)INT64_MAX + 1 ? INT64_MIN : -(long long)v;
}

int json_bool_field(const char *text, const char *end, const char *key, int fallback) {
    const char *v = json_find_key(text, end, key);
    if (!v) return fallback;
    if (strncmp(v, "true", 4) == 0) return 1;
    if (strncmp(v, "false", 5) == 0) return 0;
    if (*v == '"') return strncmp(v + 1, "true", 4) == 0 || v[1] == '1';
    return *v == '1';
}

int json_str_field(const char *text, const char *end, const char *key, char *out, size_t cap) {
    const char *v = json_find_key(text, end, key);
    if (!v || *v == 'n') return 0;
    out[0] = '\0';
    if (*v == '"') return json_read_string_at(&v, out, cap);
    size_t n = 0;
    while (v < end && *v && *v != ',' && *v != '}' && *v != ']' && n < cap - 1) out[n++] = *v++;
    while (n > 0 && is_ws(out[n - 1])) n--;
    out[n] = '\0';
    return n > 0;
}
