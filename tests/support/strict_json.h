// A strict JSON reader for tests and fuzz targets: it tells whether a
// response body is valid JSON, decodes string literals by the program's own
// encoding rules (rejecting any escape the encoder never writes), and lists
// the members of a top-level object. Test code only; never linked into the
// program.
#pragma once

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

// What buf_json must write for text: the reference encoding, byte by byte.
inline std::string reference_json_string(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == 0) break;
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
// for the other bytes below 0x20; raw bytes from 0x20 up (0x80 and above
// included, valid UTF-8 or not) stand for themselves.
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
