// A strict JSON reader for tests and fuzz targets: it tells whether a
// response body is valid JSON in well-formed UTF-8, decodes string literals
// by the program's own encoding rules (rejecting any escape the encoder
// never writes), and lists the members of a top-level object. Test code
// only; never linked into the program, and written apart from it: UTF-8 is
// checked here by decoding code points, not by the program's byte ranges.
#pragma once

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

// Length of the well-formed UTF-8 character at s[i] (1 to 4), or 0: the
// code point is decoded and refused when overlong, a surrogate, or above
// U+10FFFF.
inline size_t strict_utf8_char(const std::string &s, size_t i) {
    unsigned char b = (unsigned char)s[i];
    size_t n;
    unsigned cp;
    if (b < 0x80) return 1;
    if ((b & 0xE0) == 0xC0) {
        n = 2;
        cp = b & 0x1Fu;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3;
        cp = b & 0x0Fu;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4;
        cp = b & 0x07u;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; k++) {
        unsigned char c = (unsigned char)s[i + k];
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3Fu);
    }
    static const unsigned SMALLEST[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < SMALLEST[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

inline bool strict_utf8_valid(const std::string &s) {
    for (size_t i = 0; i < s.size();) {
        size_t n = strict_utf8_char(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

// The text with each ill-formed part replaced by U+FFFD, one per maximal
// subpart: the longest run at that point that some continuation bytes
// could still complete into a character (found by completing it with
// filler bytes and decoding), else a single byte.
inline std::string reference_utf8_repair(const std::string &s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        size_t n = strict_utf8_char(s, i);
        if (n > 0) {
            out.append(s, i, n);
            i += n;
            continue;
        }
        size_t run = 1;
        for (size_t k = 3; k >= 2 && run == 1; k--) {
            if (i + k > s.size()) continue;
            for (size_t total = k + 1; total <= 4 && run == 1; total++) {
                std::string trial = s.substr(i, k) + std::string(total - k, '\x80');
                if (strict_utf8_char(trial, 0) == total) run = k;
            }
        }
        out += "\xEF\xBF\xBD";
        i += run;
    }
    return out;
}

// What buf_json must write for text: the reference encoding, byte by byte,
// over the repaired text.
inline std::string reference_json_string(const std::string &raw) {
    std::string text = reference_utf8_repair(std::string(raw.c_str()));
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char six[8];
                    snprintf(six, sizeof six, "\\u%04x", (unsigned)c);
                    out += six;
                } else {
                    out += (char)c;
                }
        }
    }
    out += '"';
    return out;
}

// A strict reader over one JSON text. Strings follow the program's
// encoding: the only escapes are \" \\ \n \r \t and \u00XX (lower-case hex)
// for the other bytes below 0x20; raw bytes from 0x20 up stand for
// themselves, and those from 0x80 up only as well-formed UTF-8.
struct JsonScan {
    const std::string &s;
    size_t i;

    explicit JsonScan(const std::string &text) : s(text), i(0) {}

    bool at_end() const { return i >= s.size(); }
    char peek() const { return at_end() ? '\0' : s[i]; }

    void skip_ws() {
        while (!at_end() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) i++;
    }

    bool string(std::string *decoded) {
        if (peek() != '"') return false;
        i++;
        std::string d;
        while (true) {
            if (at_end()) return false;
            unsigned char c = (unsigned char)s[i++];
            if (c == '"') break;
            if (c < 0x20) return false;  // a raw control byte is not JSON
            if (c >= 0x80) {
                size_t n = strict_utf8_char(s, i - 1);
                if (n == 0) return false;  // ill-formed UTF-8
                d.append(s, i - 1, n);
                i += n - 1;
                continue;
            }
            if (c != '\\') {
                d += (char)c;
                continue;
            }
            if (at_end()) return false;
            char e = s[i++];
            if (e == '"') d += '"';
            else if (e == '\\') d += '\\';
            else if (e == 'n') d += '\n';
            else if (e == 'r') d += '\r';
            else if (e == 't') d += '\t';
            else if (e == 'u') {
                if (i + 4 > s.size()) return false;
                unsigned v = 0;
                for (int k = 0; k < 4; k++) {
                    char h = s[i++];
                    int digit;
                    if (h >= '0' && h <= '9') digit = h - '0';
                    else if (h >= 'a' && h <= 'f') digit = h - 'a' + 10;
                    else return false;
                    v = v * 16 + (unsigned)digit;
                }
                // Only the bytes without a short escape are written this way.
                if (v == 0 || v >= 0x20 || v == '\n' || v == '\r' || v == '\t') return false;
                d += (char)v;
            } else {
                return false;
            }
        }
        if (decoded) *decoded = d;
        return true;
    }

    bool number() {
        size_t start = i;
        if (peek() == '-') i++;
        if (peek() == '0') {
            i++;
        } else if (peek() >= '1' && peek() <= '9') {
            while (peek() >= '0' && peek() <= '9') i++;
        } else {
            return false;
        }
        if (peek() == '.') {
            i++;
            if (!(peek() >= '0' && peek() <= '9')) return false;
            while (peek() >= '0' && peek() <= '9') i++;
        }
        if (peek() == 'e' || peek() == 'E') {
            i++;
            if (peek() == '+' || peek() == '-') i++;
            if (!(peek() >= '0' && peek() <= '9')) return false;
            while (peek() >= '0' && peek() <= '9') i++;
        }
        return i > start;
    }

    bool literal(const char *word) {
        size_t n = strlen(word);
        if (s.compare(i, n, word) != 0) return false;
        i += n;
        return true;
    }

    bool value(int depth) {
        if (depth > 64) return false;
        skip_ws();
        char c = peek();
        if (c == '"') return string(nullptr);
        if (c == '{') return object(depth + 1, nullptr);
        if (c == '[') {
            i++;
            skip_ws();
            if (peek() == ']') {
                i++;
                return true;
            }
            while (true) {
                if (!value(depth + 1)) return false;
                skip_ws();
                if (peek() == ',') {
                    i++;
                    continue;
                }
                if (peek() == ']') {
                    i++;
                    return true;
                }
                return false;
            }
        }
        if (c == 't') return literal("true");
        if (c == 'f') return literal("false");
        if (c == 'n') return literal("null");
        return number();
    }

    struct Member {
        std::string key;
        std::string raw;      // the value's text as written
        bool is_string;
        std::string decoded;  // the decoded text when is_string
    };

    bool object(int depth, std::vector<Member> *members) {
        if (peek() != '{') return false;
        i++;
        skip_ws();
        if (peek() == '}') {
            i++;
            return true;
        }
        while (true) {
            skip_ws();
            Member m;
            if (!string(&m.key)) return false;
            skip_ws();
            if (peek() != ':') return false;
            i++;
            skip_ws();
            size_t start = i;
            m.is_string = peek() == '"';
            if (m.is_string) {
                if (!string(&m.decoded)) return false;
            } else if (!value(depth)) {
                return false;
            }
            m.raw = s.substr(start, i - start);
            if (members) members->push_back(m);
            skip_ws();
            if (peek() == ',') {
                i++;
                continue;
            }
            if (peek() == '}') {
                i++;
                return true;
            }
            return false;
        }
    }
};

// Parses a whole response body: one object and one line feed, nothing else.
inline bool parse_document(const std::string &body, std::vector<JsonScan::Member> *members) {
    JsonScan scan(body);
    if (!scan.object(0, members)) return false;
    return scan.i + 1 == body.size() && body[scan.i] == '\n';
}

inline const JsonScan::Member *find_member(const std::vector<JsonScan::Member> &members,
                                           const char *key) {
    for (const JsonScan::Member &m : members)
        if (m.key == key) return &m;
    return nullptr;
}

// Keys are unique in every document the program writes.
inline bool keys_unique(const std::vector<JsonScan::Member> &members) {
    for (size_t a = 0; a < members.size(); a++)
        for (size_t b = a + 1; b < members.size(); b++)
            if (members[a].key == members[b].key) return false;
    return true;
}
