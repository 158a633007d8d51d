// Text at the Windows door (platform/utf16.h), checked against models
// written here:
//  - any UTF-16 (unpaired surrogates included) becomes UTF-8 as a model
//    decoder and encoder say, each unpaired surrogate one U+FFFD, and that
//    UTF-8 comes back as the same units with the surrogates replaced;
//  - any bytes become UTF-16 of at most as many units, whose UTF-8 form is
//    the input itself when the input is well-formed, and is converted
//    again without change in any case;
//  - a path is only converted unless it is absolute and of 260 units or
//    more; then it is the \\?\ (or \\?\UNC\) prefix, the root and the
//    folders a stack model leaves after ".", ".." and empty ones;
//  - every result is the whole length, and a buffer one unit short keeps
//    nothing.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/limits.h"
#include "fuzz_support.h"
#include "platform/utf16.h"

namespace {

typedef std::vector<wchar_t> Units;

std::string model_utf8(const Units &in) {
    std::string out;
    for (size_t i = 0; i < in.size(); i++) {
        unsigned long c = (unsigned long)in[i];
        bool high = c >= 0xD800 && c <= 0xDBFF, low = c >= 0xDC00 && c <= 0xDFFF;
        if (high && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + ((unsigned long)in[i + 1] - 0xDC00);
            i++;
        } else if (high || low) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += (char)c;
        } else if (c < 0x800) {
            out += (char)(0xC0 | (c >> 6));
            out += (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += (char)(0xE0 | (c >> 12));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        } else {
            out += (char)(0xF0 | (c >> 18));
            out += (char)(0x80 | ((c >> 12) & 0x3F));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The units with each unpaired surrogate replaced by U+FFFD.
Units model_repaired(const Units &in) {
    Units out = in;
    for (size_t i = 0; i < out.size(); i++) {
        bool high = out[i] >= 0xD800 && out[i] <= 0xDBFF, low = out[i] >= 0xDC00 && out[i] <= 0xDFFF;
        if (high && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
            i++;
        } else if (high || low) {
            out[i] = 0xFFFD;
        }
    }
    return out;
}

// The conversion into a buffer of exactly the right size, and the check
// that one unit less keeps nothing.
template <typename In, typename Unit, typename F>
std::vector<Unit> convert(F f, const In *in, size_t n) {
    size_t len = f(in, n, nullptr, 0);
    std::vector<Unit> out(len + 1, (Unit)'#');
    FUZZ_CHECK(f(in, n, out.data(), len + 1) == len);
    FUZZ_CHECK(out[len] == 0);
    if (len > 0) {
        std::vector<Unit> small(len, (Unit)'#');
        FUZZ_CHECK(f(in, n, small.data(), len) == len);
        FUZZ_CHECK(small[0] == 0);
    }
    out.pop_back();
    return out;
}

void check_utf16_in(const Units &in) {
    std::vector<char> utf8 = convert<wchar_t, char>(utf8_from_utf16, in.data(), in.size());
    FUZZ_CHECK(std::string(utf8.begin(), utf8.end()) == model_utf8(in));
    Units back = convert<char, wchar_t>(utf16_from_utf8, utf8.data(), utf8.size());
    FUZZ_CHECK(back == model_repaired(in));
}

// Well-formed UTF-8, decoded and checked per character: no overlong form,
// no surrogate, nothing above U+10FFFF.
bool model_well_formed(const std::string &s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char b = (unsigned char)s[i];
        size_t more;
        unsigned long c;
        if (b < 0x80) {
            i++;
            continue;
        } else if (b >= 0xC0 && b <= 0xDF) {
            more = 1, c = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2, c = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF7) {
            more = 3, c = b & 0x07;
        } else {
            return false;
        }
        if (i + more >= s.size()) return false;
        for (size_t k = 1; k <= more; k++) {
            unsigned char t = (unsigned char)s[i + k];
            if ((t & 0xC0) != 0x80) return false;
            c = (c << 6) | (t & 0x3F);
        }
        static const unsigned long least[] = {0, 0x80, 0x800, 0x10000};
        if (c < least[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}

void check_utf8_in(const std::string &in) {
    Units wide = convert<char, wchar_t>(utf16_from_utf8, in.data(), in.size());
    FUZZ_CHECK(wide.size() <= in.size());
    for (wchar_t u : wide) FUZZ_CHECK((unsigned long)u <= 0xFFFF);
    std::vector<char> utf8 = convert<wchar_t, char>(utf8_from_utf16, wide.data(), wide.size());
    std::string text(utf8.begin(), utf8.end());
    FUZZ_CHECK(model_repaired(wide) == wide);  // no unpaired surrogate comes out
    FUZZ_CHECK(text == model_utf8(wide));
    // Well-formed input, and only that, comes back unchanged.
    FUZZ_CHECK(model_well_formed(in) == (text == in));
    // A second pass changes nothing.
    Units again = convert<char, wchar_t>(utf16_from_utf8, utf8.data(), utf8.size());
    FUZZ_CHECK(again == wide);
}

bool sep(char c) { return c == '\\' || c == '/'; }

// What Windows keeps of a name: one trailing '.' goes from a name that a
// separator follows, every trailing '.' and ' ' from the last; a name of
// dots alone stays as it is.
std::string kept_name(std::string name, bool followed) {
    if (name.find_first_not_of('.') == std::string::npos) return name;
    if (followed) {
        if (name.back() == '.') name.pop_back();
        return name;
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    return name;
}

// The stack model of the long form's folders; a last name trimmed to
// nothing is left out.
std::string model_folders(const std::string &rest) {
    std::vector<std::string> stack;
    size_t at = 0;
    while (at < rest.size()) {
        size_t end = at;
        while (end < rest.size() && !sep(rest[end])) end++;
        std::string name = rest.substr(at, end - at);
        if (name == "..") {
            if (!stack.empty()) stack.pop_back();
        } else if (!name.empty() && name != ".") {
            stack.push_back(kept_name(name, end < rest.size()));
        }
        at = end + 1;
    }
    std::string out;
    for (const std::string &name : stack) {
        if (name.empty()) continue;
        out += (out.empty() ? "" : "\\") + name;
    }
    return out;
}

Units widen(const std::string &s) {
    Units out = convert<char, wchar_t>(utf16_from_utf8, s.data(), s.size());
    return out;
}

void check_path(const std::string &path) {
    std::vector<wchar_t> got = convert<char, wchar_t>(
        [](const char *p, size_t, wchar_t *out, size_t cap) { return utf16_path(p, out, cap); }, path.c_str(),
        path.size());
    Units plain = widen(path);
    bool drive = path.size() >= 3 && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':' &&
                 sep(path[2]);
    bool share = path.size() >= 3 && sep(path[0]) && sep(path[1]) && !sep(path[2]);
    bool device = share && (path[2] == '?' || path[2] == '.') && path.size() >= 4 && sep(path[3]);
    std::string expected;
    if (!(drive || share) || device || plain.size() < WIN_MAX_PATH) {
        FUZZ_CHECK(got == plain);
        return;
    }
    if (drive) {
        expected = "\\\\?\\" + path.substr(0, 2) + "\\" + model_folders(path.substr(3));
    } else {
        size_t s = 2, e = s;
        while (e < path.size() && !sep(path[e])) e++;
        std::string server = path.substr(s, e - s);
        size_t h = e;
        while (h < path.size() && sep(path[h])) h++;
        size_t he = h;
        while (he < path.size() && !sep(path[he])) he++;
        if (he == h) {
            FUZZ_CHECK(got == plain);
            return;
        }
        expected = "\\\\?\\UNC\\" + server + "\\" + path.substr(h, he - h) + "\\" + model_folders(path.substr(he));
    }
    FUZZ_CHECK(got == widen(expected));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: {
            Units units;
            while (in.remaining_bytes() >= 2) units.push_back((wchar_t)in.ConsumeIntegral<uint16_t>());
            check_utf16_in(units);
            break;
        }
        case 1:
            check_utf8_in(in.ConsumeRemainingBytesAsString());
            break;
        default: {
            static const char *const ROOTS[] = {"C:\\", "z:/", "\\\\srv\\share\\", "//srv/share/", "\\\\srv\\",
                                                "\\\\?\\C:\\", "\\\\.\\pipe\\", "", "C:", "\\"};
            std::string path = ROOTS[in.ConsumeIntegralInRange<size_t>(0, sizeof ROOTS / sizeof *ROOTS - 1)];
            std::string body = in.ConsumeRandomLengthString(PATH_CAP);
            // Folders that make the path long, so that the long form is met.
            size_t pad = in.ConsumeIntegralInRange<size_t>(0, 12);
            for (size_t i = 0; i < pad; i++) path += std::string(25, (char)('a' + i)) + "\\";
            path = up_to_nul(path + body + in.ConsumeRemainingBytesAsString());
            check_path(path);
            break;
        }
    }
    return 0;
}
