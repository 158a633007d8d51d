#include "platform/utf16.h"

#include <string.h>

#include "base/limits.h"
#include "base/utf8.h"

static const unsigned long REPLACEMENT = 0xFFFD;
static const unsigned long SURROGATE_FIRST = 0xD800, SURROGATE_LOW = 0xDC00, SURROGATE_END = 0xE000;
static const unsigned long PLANE_1 = 0x10000;  // the first character that needs a surrogate pair

// A bounded writer that counts on past its capacity: len is the whole
// length, and the text is kept only when it fits.
template <typename Unit>
struct Out {
    Unit *text;
    size_t cap, len;
};

template <typename Unit>
static void put(Out<Unit> *o, unsigned long unit) {
    if (o->len + 1 < o->cap) o->text[o->len] = (Unit)unit;
    o->len++;
}

template <typename Unit>
static size_t finish(Out<Unit> *o) {
    if (o->cap > 0) o->text[o->len < o->cap ? o->len : 0] = 0;
    return o->len;
}

// The character that a well-formed UTF-8 unit of len bytes encodes.
static unsigned long decode(const unsigned char *s, size_t len) {
    if (len == 1) return s[0];
    unsigned long c = s[0] & (0xFF >> (len + 1));
    for (size_t i = 1; i < len; i++) c = (c << 6) | (s[i] & 0x3F);
    return c;
}

static void put_utf16(Out<wchar_t> *o, const char *text, size_t n) {
    size_t i = 0;
    while (i < n) {
        int well_formed;
        size_t len = utf8_unit(text + i, n - i, &well_formed);
        unsigned long c = well_formed ? decode((const unsigned char *)text + i, len) : REPLACEMENT;
        if (c >= PLANE_1) {
            c -= PLANE_1;
            put(o, SURROGATE_FIRST + (c >> 10));
            put(o, SURROGATE_LOW + (c & 0x3FF));
        } else {
            put(o, c);
        }
        i += len;
    }
}

size_t utf16_from_utf8(const char *text, size_t n, wchar_t *out, size_t cap) {
    Out<wchar_t> o = {out, cap, 0};
    put_utf16(&o, text, n);
    return finish(&o);
}

size_t utf8_from_utf16(const wchar_t *text, size_t n, char *out, size_t cap) {
    Out<char> o = {out, cap, 0};
    for (size_t i = 0; i < n; i++) {
        unsigned long c = (unsigned long)text[i];
        if (c >= SURROGATE_FIRST && c < SURROGATE_LOW && i + 1 < n && (unsigned long)text[i + 1] >= SURROGATE_LOW &&
            (unsigned long)text[i + 1] < SURROGATE_END) {
            c = PLANE_1 + ((c - SURROGATE_FIRST) << 10) + ((unsigned long)text[i + 1] - SURROGATE_LOW);
            i++;
        } else if ((c >= SURROGATE_FIRST && c < SURROGATE_END) || c >= PLANE_1) {
            c = REPLACEMENT;  // unpaired, or no UTF-16 unit at all
        }
        if (c < 0x80) {
            put(&o, c);
        } else if (c < 0x800) {
            put(&o, 0xC0 | (c >> 6));
            put(&o, 0x80 | (c & 0x3F));
        } else if (c < PLANE_1) {
            put(&o, 0xE0 | (c >> 12));
            put(&o, 0x80 | ((c >> 6) & 0x3F));
            put(&o, 0x80 | (c & 0x3F));
        } else {
            put(&o, 0xF0 | (c >> 18));
            put(&o, 0x80 | ((c >> 12) & 0x3F));
            put(&o, 0x80 | ((c >> 6) & 0x3F));
            put(&o, 0x80 | (c & 0x3F));
        }
    }
    return finish(&o);
}

static int is_sep(char c) { return c == '\\' || c == '/'; }

static int is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Length of the next folder name at p (up to a separator or the end).
static size_t name_len(const char *p) {
    size_t n = 0;
    while (p[n] && !is_sep(p[n])) n++;
    return n;
}

static int is_name(const char *p, size_t n, const char *name) { return n == strlen(name) && memcmp(p, name, n) == 0; }

// 1 when the folder name at p stays: no ".." further on takes it away.
// Each later name deepens the path by one and each ".." climbs one; a ".."
// that climbs above p's level takes p away.
static int name_stays(const char *p) {
    size_t depth = 0;
    for (p += name_len(p); *p;) {
        if (is_sep(*p)) {
            p++;
            continue;
        }
        size_t n = name_len(p);
        if (is_name(p, n, "..")) {
            if (depth == 0) return 0;
            depth--;
        } else if (!is_name(p, n, ".")) {
            depth++;
        }
        p += n;
    }
    return 1;
}

// How much of the folder name of n bytes at p Windows keeps: a name
// followed by a separator loses one trailing '.', the last name every
// trailing '.' and ' ' ("x." and "x" are one folder). A name of dots alone
// is left as it is.
static size_t kept_len(const char *p, size_t n) {
    size_t dots = 0;
    while (dots < n && p[dots] == '.') dots++;
    if (dots == n) return n;
    if (p[n]) return p[n - 1] == '.' ? n - 1 : n;
    while (n > 0 && (p[n - 1] == '.' || p[n - 1] == ' ')) n--;
    return n;
}

// After the prefix and the root in o: each folder name of `rest` that
// stays, one backslash between them. A ".." that would climb above the
// root has nothing left to take away.
static void put_names(Out<wchar_t> *o, const char *rest) {
    int first = 1;
    for (const char *p = rest; *p;) {
        if (is_sep(*p)) {
            p++;
            continue;
        }
        size_t n = name_len(p);
        if (!is_name(p, n, ".") && !is_name(p, n, "..") && name_stays(p)) {
            size_t kept = kept_len(p, n);
            if (kept > 0) {
                if (!first) put(o, L'\\');
                put_utf16(o, p, kept);
                first = 0;
            }
        }
        p += n;
    }
}

size_t utf16_path(const char *path, wchar_t *out, size_t cap) {
    size_t n = strlen(path);
    int drive = is_letter(path[0]) && path[1] == ':' && is_sep(path[2]);
    int share = is_sep(path[0]) && is_sep(path[1]) && path[2] && !is_sep(path[2]);
    // \\?\ and \\.\ are taken as they are, at any length.
    int device = share && (path[2] == '?' || path[2] == '.') && is_sep(path[3]);
    if (!(drive || share) || device || utf16_from_utf8(path, n, nullptr, 0) < WIN_MAX_PATH)
        return utf16_from_utf8(path, n, out, cap);
    Out<wchar_t> o = {out, cap, 0};
    const char *rest;
    if (drive) {
        put_utf16(&o, "\\\\?\\", 4);
        put_utf16(&o, path, 2);
        rest = path + 3;
    } else {
        // \\server\share: both names are the root, and ".." stops at the share.
        const char *server = path + 2;
        size_t server_len = name_len(server);
        const char *share_name = server + server_len;
        while (is_sep(*share_name)) share_name++;
        size_t share_len = name_len(share_name);
        if (share_len == 0) return utf16_from_utf8(path, n, out, cap);  // no share: no file's path
        put_utf16(&o, "\\\\?\\UNC\\", 8);
        put_utf16(&o, server, server_len);
        put(&o, L'\\');
        put_utf16(&o, share_name, share_len);
        rest = share_name + share_len;
    }
    put(&o, L'\\');
    put_names(&o, rest);
    return finish(&o);
}
