#include "json/json_reader.h"

#include <stdint.h>
#include <string.h>

#include "base/limits.h"
#include "base/ascii.h"
#include "base/utf8.h"

static int is_ws(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

static const char *skip_bom(const char *p, const char *end) {
    return (end - p >= (ptrdiff_t)UTF8_BOM_LEN && memcmp(p, UTF8_BOM, UTF8_BOM_LEN) == 0) ? p + UTF8_BOM_LEN : p;
}

// 1 when [p, end) begins with the NUL-terminated word.
static int starts_with(const char *p, const char *end, const char *word) {
    size_t n = strlen(word);
    return end - p >= (ptrdiff_t)n && memcmp(p, word, n) == 0;
}

// Reads up to four hex digits at *p, before end; *p moves past them.
static unsigned read_hex4(const char **p, const char *end) {
    unsigned v = 0;
    for (int i = 0; i < 4 && *p < end; i++) {
        int h = ascii_hex_value(**p);
        if (h < 0) break;
        v = v * 16 + (unsigned)h;
        (*p)++;
    }
    return v;
}

static const unsigned REPLACEMENT_CHAR = 0xFFFD;

static size_t utf8_encode(unsigned cp, char *out) {
    unsigned char *o = (unsigned char *)out;
    if (cp < 0x80) {
        o[0] = (unsigned char)cp;
        return 1;
    }
    if (cp < 0x800) {
        o[0] = (unsigned char)(0xC0 | (cp >> 6));
        o[1] = (unsigned char)(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        o[0] = (unsigned char)(0xE0 | (cp >> 12));
        o[1] = (unsigned char)(0x80 | ((cp >> 6) & 0x3F));
        o[2] = (unsigned char)(0x80 | (cp & 0x3F));
        return 3;
    }
    o[0] = (unsigned char)(0xF0 | (cp >> 18));
    o[1] = (unsigned char)(0x80 | ((cp >> 12) & 0x3F));
    o[2] = (unsigned char)(0x80 | ((cp >> 6) & 0x3F));
    o[3] = (unsigned char)(0x80 | (cp & 0x3F));
    return 4;
}

// Decodes the code point of a \u escape whose digits start at *p. A high
// surrogate takes the low surrogate of a directly following \uXXXX with
// it; a lone surrogate and the code point 0 become U+FFFD.
static unsigned decode_u_escape(const char **p, const char *end) {
    unsigned cp = read_hex4(p, end);
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        const char *q = *p;
        if (starts_with(q, end, "\\u")) {
            q += 2;
            const char *digits = q;
            unsigned lo = read_hex4(&q, end);
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

// A text decoded into a fixed output, cut between characters only. Bytes
// are stored while they fit; the first few that do not are kept aside, so
// that the cut can tell whether the last stored unit (utf8.h) runs on
// past it and must go whole.
struct CutText {
    char *out;
    size_t cap;
    size_t stored;
    char spill[UTF8_MAX_CHAR_LEN];
    size_t spilled;  // once a byte is set aside, every later one is dropped
};

static void cut_add(CutText *t, const char *bytes, size_t n) {
    for (size_t i = 0; i < n; i++) {
        if (t->spilled == 0 && t->stored < t->cap - 1) {
            t->out[t->stored++] = bytes[i];
        } else if (t->spilled < sizeof t->spill) {
            t->spill[t->spilled++] = bytes[i];
        }
    }
}

// Terminates the output, first dropping a last unit that the cut split.
static size_t cut_finish(CutText *t) {
    if (t->spilled > 0 && t->stored > 0) {
        size_t last = 0;
        for (size_t i = 0; i < t->stored;) {
            int well_formed;
            last = i;
            i += utf8_unit(t->out + i, t->stored - i, &well_formed);
        }
        char window[2 * UTF8_MAX_CHAR_LEN];
        size_t own = t->stored - last;  // at most UTF8_MAX_CHAR_LEN
        memcpy(window, t->out + last, own);
        memcpy(window + own, t->spill, t->spilled);
        int well_formed;
        if (utf8_unit(window, own + t->spilled, &well_formed) > own) t->stored = last;
    }
    t->out[t->stored] = '\0';
    return t->stored;
}

// json_read_string_at, also telling through *cut (when given) whether the
// decoded text was longer than the output holds.
static int read_string(const char **cursor, const char *end, char *out, size_t cap, int *cut) {
    const char *p = *cursor;
    if (!p || p >= end || *p != '"') return 0;
    p++;
    CutText t = {out, cap, 0, {0}, 0};
    while (p < end && *p != '"') {
        char seq[UTF8_MAX_CHAR_LEN];
        size_t n = 1;
        if (*p == '\\' && p + 1 < end) {
            char e = p[1];
            p += 2;
            switch (e) {
                case 'b': seq[0] = 0x08; break;
                case 'f': seq[0] = 0x0C; break;
                case 'n': seq[0] = 0x0A; break;
                case 'r': seq[0] = 0x0D; break;
                case 't': seq[0] = 0x09; break;
                case 'u': n = utf8_encode(decode_u_escape(&p, end), seq); break;
                case '\0': n = utf8_encode(REPLACEMENT_CHAR, seq); break;
                default: seq[0] = e;
            }
        } else if (*p == '\0') {
            // A NUL is a byte of the string like any other, but the output
            // must never hold one of the text's own.
            n = utf8_encode(REPLACEMENT_CHAR, seq);
            p++;
        } else {
            seq[0] = *p++;
        }
        cut_add(&t, seq, n);
    }
    if (cut) *cut = t.spilled > 0;
    cut_finish(&t);
    if (p < end && *p == '"') p++;
    *cursor = p;
    return 1;
}

int json_read_string_at(const char **cursor, const char *end, char *out, size_t cap) {
    return read_string(cursor, end, out, cap, nullptr);
}

const char *json_find_key(const char *text, const char *end, const char *key) {
    if (!text) return nullptr;
    size_t key_len = strlen(key);
    const char *p = skip_bom(text, end);
    while (p < end && is_ws(*p)) p++;
    if (p >= end) return nullptr;
    if (*p == '{') p++;
    int level = 0;
    char candidate[JSON_KEY_CAP];
    while (p < end) {
        if (*p == '"') {
            json_read_string_at(&p, end, candidate, sizeof candidate);
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
    while (p + 1 < end && *p == '\\') p += 2;  // escape pairs count for nothing
    return p < end && *p != '"';
}

long long json_num_field(const char *text, const char *end, const char *key) {
    const char *p = json_find_key(text, end, key);
    if (!p) return 0;
    if (*p == '"') p++;
    int negative = 0;
    if (p < end && *p == '-') {
        negative = 1;
        p++;
    }
    if (p >= end || *p < '0' || *p > '9') return 0;
    // Accumulate the magnitude, saturating at the range's limit on each side.
    const uint64_t limit = negative ? (uint64_t)INT64_MAX + 1 : (uint64_t)INT64_MAX;
    uint64_t v = 0;
    for (; p < end && *p >= '0' && *p <= '9'; p++) {
        unsigned d = (unsigned)(*p - '0');
        v = (v > (limit - d) / 10) ? limit : v * 10 + d;
    }
    if (!negative) return (long long)v;
    return v == (uint64_t)INT64_MAX + 1 ? INT64_MIN : -(long long)v;
}

int json_bool_field(const char *text, const char *end, const char *key, int fallback) {
    const char *v = json_find_key(text, end, key);
    if (!v) return fallback;
    if (starts_with(v, end, "true")) return 1;
    if (starts_with(v, end, "false")) return 0;
    if (*v == '"') return starts_with(v + 1, end, "true") || starts_with(v + 1, end, "1");
    return *v == '1';
}

// 1 for a byte that opens a structure or a string. An unquoted value that
// holds one ("true{...}", "-{...}", "/*c*/{...}") is no scalar but a
// structure behind some junk, and may carry a token.
static int opens_structure(char c) { return c == '{' || c == '[' || c == '"'; }

// json_str_field, also telling through *cut whether the value was longer
// than the output holds (the output then holds its first part).
static int str_field(const char *text, const char *end, const char *key, char *out, size_t cap, int *cut) {
    *cut = 0;
    const char *v = json_find_key(text, end, key);
    // Any bare value that begins with 'n' is taken for a null.
    if (!v || *v == 'n' || *v == '{' || *v == '[') return 0;
    if (*v == '"') {
        out[0] = '\0';
        return read_string(&v, end, out, cap, cut);
    }
    // The unquoted value runs to a comma, a closing bracket, a NUL or end.
    // It is looked at whole before anything is stored.
    const char *stop = v;
    while (stop < end && *stop && *stop != ',' && *stop != '}' && *stop != ']') {
        if (opens_structure(*stop)) return 0;
        stop++;
    }
    while (stop > v && is_ws(stop[-1])) stop--;
    *cut = (size_t)(stop - v) > cap - 1;
    out[0] = '\0';
    CutText t = {out, cap, 0, {0}, 0};
    // Only the bytes that can be stored, and those that tell the cut, are
    // taken.
    const size_t enough = cap - 1 + UTF8_MAX_CHAR_LEN;
    if ((size_t)(stop - v) > enough) stop = v + enough;
    cut_add(&t, v, (size_t)(stop - v));
    size_t n = cut_finish(&t);
    while (n > 0 && is_ws(out[n - 1])) n--;
    out[n] = '\0';
    return n > 0;
}

int json_str_field(const char *text, const char *end, const char *key, char *out, size_t cap) {
    int cut;
    return str_field(text, end, key, out, cap, &cut);
}

int json_str_field_whole(const char *text, const char *end, const char *key, char *out, size_t cap) {
    int cut;
    int stored = str_field(text, end, key, out, cap, &cut);
    if (stored && cut) {
        out[0] = '\0';
        return 0;
    }
    return stored;
}
