// Text at the Windows door: UTF-8 to UTF-16 and back (surrogate pairs,
// ill-formed input, capacities) and the form a path takes for the wide
// calls. Units are written as numbers where a literal would not be
// UTF-16 on this host (characters outside the BMP).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/limits.h"
#include "platform/utf16.h"

namespace {

// The conversion into a buffer of cap units; "(empty)" checks that
// nothing but an empty text is left when it does not fit.
std::wstring to16(const std::string &s, size_t cap, size_t *len) {
    std::vector<wchar_t> out(cap + 1, L'#');
    *len = utf16_from_utf8(s.data(), s.size(), out.data(), cap);
    if (*len < cap) EXPECT_EQ(out[*len], L'\0');
    return std::wstring(out.data(), *len < cap ? *len : 0);
}

std::string to8(const std::wstring &s, size_t cap, size_t *len) {
    std::vector<char> out(cap + 1, '#');
    *len = utf8_from_utf16(s.data(), s.size(), out.data(), cap);
    if (*len < cap) EXPECT_EQ(out[*len], '\0');
    return std::string(out.data(), *len < cap ? *len : 0);
}

std::wstring units(std::initializer_list<unsigned> list) {
    std::wstring s;
    for (unsigned u : list) s += (wchar_t)u;
    return s;
}

TEST(Utf16, WellFormedTextRoundTrips) {
    struct Case {
        const char *why;
        std::string utf8;
        std::wstring utf16;
    } cases[] = {
        {"empty", "", L""},
        {"ASCII", "C:\\Users\\a", L"C:\\Users\\a"},
        {"Latin", "Zo\xC3\xAB", units({'Z', 'o', 0xEB})},
        {"Cyrillic", "\xD0\x96\xD0\xB0\xD0\xBD\xD0\xBD\xD0\xB0", units({0x416, 0x430, 0x43D, 0x43D, 0x430})},
        {"CJK", "\xE5\x8C\x97\xE4\xBA\xAC", units({0x5317, 0x4EAC})},
        {"last character before the surrogates", "\xED\x9F\xBF", units({0xD7FF})},
        {"first character after them", "\xEE\x80\x80", units({0xE000})},
        {"last character of the BMP", "\xEF\xBF\xBF", units({0xFFFF})},
        {"first surrogate pair, U+10000", "\xF0\x90\x80\x80", units({0xD800, 0xDC00})},
        {"a key, U+1F511", "\xF0\x9F\x94\x91", units({0xD83D, 0xDD11})},
        {"the last character, U+10FFFF", "\xF4\x8F\xBF\xBF", units({0xDBFF, 0xDFFF})},
        {"mixed", "a\xF0\x9F\x94\x91" "b\xC3\xAB", units({'a', 0xD83D, 0xDD11, 'b', 0xEB})},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        size_t len = 0;
        EXPECT_EQ(to16(c.utf8, 64, &len), c.utf16);
        EXPECT_EQ(len, c.utf16.size());
        EXPECT_EQ(to8(c.utf16, 64, &len), c.utf8);
        EXPECT_EQ(len, c.utf8.size());
    }
}

TEST(Utf16, IllFormedTextBecomesReplacementCharacters) {
    const unsigned R = 0xFFFD;
    struct Case {
        const char *why;
        std::string utf8;
        std::wstring utf16;
    } to_utf16[] = {
        {"a lone continuation byte", "a\x80" "b", units({'a', R, 'b'})},
        {"a cut two-byte character", "\xC3", units({R})},
        {"a cut four-byte character is one unit", "\xF0\x9F\x94" "a", units({R, 'a'})},
        {"an encoded surrogate (CESU-8) is three", "\xED\xA0\x80", units({R, R, R})},
        {"an overlong slash", "\xC0\xAF", units({R, R})},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", units({R, R, R, R})},
    };
    for (const auto &c : to_utf16) {
        SCOPED_TRACE(c.why);
        size_t len = 0;
        EXPECT_EQ(to16(c.utf8, 64, &len), c.utf16);
    }
    // What Windows may hold that is not UTF-16: each unpaired surrogate
    // is one U+FFFD, so the name never comes back as the one it was.
    struct Back {
        const char *why;
        std::wstring utf16;
        std::string utf8;
    } to_utf8[] = {
        {"a lone high surrogate", units({0xD800}), "\xEF\xBF\xBD"},
        {"a lone low surrogate", units({0xDC00}), "\xEF\xBF\xBD"},
        {"a high surrogate before a letter", units({0xD83D, 'a'}), "\xEF\xBF\xBD" "a"},
        {"low before high", units({0xDD11, 0xD83D}), "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"two highs, then a low: the second pairs", units({0xD83D, 0xD83D, 0xDD11}),
         "\xEF\xBF\xBD\xF0\x9F\x94\x91"},
        {"a high surrogate at the end of a name", units({'Z', 'o', 0xD800}), "Zo\xEF\xBF\xBD"},
    };
    for (const auto &c : to_utf8) {
        SCOPED_TRACE(c.why);
        size_t len = 0;
        EXPECT_EQ(to8(c.utf16, 64, &len), c.utf8);
    }
}

TEST(Utf16, TextIsKeptOnlyWhenItFits) {
    // The result is the whole length; the text is kept only below cap,
    // never cut (not even between the units of a pair).
    struct Case {
        const char *why;
        std::string utf8;
        size_t cap;
        size_t len;
        bool kept;
    } cases[] = {
        {"fits with its NUL", "\xD0\x96\xD0\xB0", 3, 2, true},
        {"no room for the NUL", "\xD0\x96\xD0\xB0", 2, 2, false},
        {"a pair that would be cut", "a\xF0\x9F\x94\x91", 3, 3, false},
        {"a pair that fits", "a\xF0\x9F\x94\x91", 4, 3, true},
        {"empty text, one unit", "", 1, 0, true},
        {"measuring", "\xE5\x8C\x97", 0, 1, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<wchar_t> out(c.cap + 1, L'#');
        size_t len = utf16_from_utf8(c.utf8.data(), c.utf8.size(), c.cap ? out.data() : nullptr, c.cap);
        EXPECT_EQ(len, c.len);
        if (c.cap > 0) {
            EXPECT_EQ(out[c.kept ? len : 0], L'\0');
        }
    }
    // The same rule the other way: four bytes need five.
    std::wstring key = units({0xD83D, 0xDD11});
    std::vector<char> back(6, '#');
    EXPECT_EQ(utf8_from_utf16(key.data(), key.size(), back.data(), 4), 4u);
    EXPECT_EQ(back[0], '\0');
    EXPECT_EQ(utf8_from_utf16(key.data(), key.size(), back.data(), 5), 4u);
    EXPECT_EQ(std::string(back.data()), "\xF0\x9F\x94\x91");
    EXPECT_EQ(utf8_from_utf16(key.data(), key.size(), nullptr, 0), 4u);
}

// ASCII text as UTF-16 units.
std::wstring ascii(const std::string &s) { return std::wstring(s.begin(), s.end()); }

std::wstring path16(const std::string &path, size_t cap = WIDE_PATH_CAP) {
    std::vector<wchar_t> out(cap, L'#');
    size_t len = utf16_path(path.c_str(), out.data(), cap);
    EXPECT_LT(len, cap) << path;
    return std::wstring(out.data());
}

TEST(Utf16Path, ShortAndRelativePathsAreOnlyConverted) {
    const std::string long_name(300, 'n');
    struct Case {
        const char *why;
        std::string path;
    } cases[] = {
        {"short, slashes stay", "C:/Users/a\\..\\b/./auth.json"},
        {"259 characters, the last that fits MAX_PATH", "C:\\" + std::string(256, 'x')},
        {"relative and long", "./" + long_name + "/../auth.json"},
        {"rooted without a drive", "\\" + long_name},
        {"a drive without a root", "C:" + long_name},
        {"already \\\\?\\", "\\\\?\\C:\\" + long_name + "\\..\\a"},
        {"a device", "\\\\.\\" + long_name},
        {"a server without a share", "\\\\" + long_name},
        {"empty", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(path16(c.path), ascii(c.path));
    }
    // Characters count, not bytes: 259 Cyrillic letters (518 bytes) fit.
    std::string cyrillic = "C:\\";
    std::wstring expected = L"C:\\";
    for (int i = 0; i < 256; i++) {
        cyrillic += "\xD0\xB6";
        expected += (wchar_t)0x436;
    }
    EXPECT_EQ(path16(cyrillic), expected);
    EXPECT_EQ(path16(cyrillic + "a"), L"\\\\?\\" + expected + L"a");
}

TEST(Utf16Path, LongAbsolutePathsTakeTheUnlimitedForm) {
    const std::string d(100, 'd');  // three make any path long
    const std::string l = d + "\\" + d + "\\" + d;
    struct Case {
        const char *why;
        std::string path, expected;
    } cases[] = {
        {"260 characters", "C:\\" + std::string(257, 'x'), "\\\\?\\C:\\" + std::string(257, 'x')},
        {"slashes become backslashes", "c:/" + d + "/" + d + "/" + d, "\\\\?\\c:\\" + l},
        {"empty and . folders go", "C:\\\\" + d + "\\.\\" + d + "//" + d + "\\", "\\\\?\\C:\\" + l},
        {".. takes the folder before it", "C:\\" + d + "\\x\\y\\..\\..\\" + d + "\\z\\.\\..\\" + d,
         "\\\\?\\C:\\" + l},
        {".. never climbs above the drive", "C:\\..\\..\\" + l, "\\\\?\\C:\\" + l},
        {"a share", "\\\\server\\share\\" + l, "\\\\?\\UNC\\server\\share\\" + l},
        {"a share with slashes", "//server/share/" + d + "/" + d + "/" + d, "\\\\?\\UNC\\server\\share\\" + l},
        {".. never climbs above the share", "\\\\server\\share\\..\\" + l, "\\\\?\\UNC\\server\\share\\" + l},
        {"a name of dots stays", "C:\\...\\" + l, "\\\\?\\C:\\...\\" + l},
        // Windows drops them from the short spelling: the long one must name the same folder.
        {"a folder's trailing dot goes", "C:\\" + d + ".\\" + d + "\\" + d, "\\\\?\\C:\\" + l},
        {"only one of a folder's trailing dots", "C:\\" + d + "..\\" + d + "\\" + d,
         "\\\\?\\C:\\" + d + ".\\" + d + "\\" + d},
        {"a folder keeps its trailing spaces", "C:\\" + d + " \\" + l, "\\\\?\\C:\\" + d + " \\" + l},
        {"every trailing dot and space of the last name", "C:\\" + l + ". .", "\\\\?\\C:\\" + l},
        {"a last name of dots and spaces only", "C:\\" + l + "\\ .", "\\\\?\\C:\\" + l},
        {"a dot inside a name stays", "C:\\" + d + ".x\\" + l, "\\\\?\\C:\\" + d + ".x\\" + l},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(path16(c.path), ascii(c.expected));
    }
}

TEST(Utf16Path, TheLongestPathFits) {
    // A path text holds 1,023 bytes; with the longest prefix it still fits
    // WIDE_PATH_CAP, and a buffer one unit too small keeps nothing.
    const std::string share = "\\\\s\\h\\" + std::string(PATH_CAP - 1 - 6, 'p');
    std::wstring expected = L"\\\\?\\UNC\\s\\h\\" + std::wstring(PATH_CAP - 1 - 6, L'p');
    EXPECT_EQ(path16(share), expected);
    std::vector<wchar_t> small(expected.size(), L'#');
    EXPECT_EQ(utf16_path(share.c_str(), small.data(), small.size()), expected.size());
    EXPECT_EQ(small[0], L'\0');
    EXPECT_EQ(utf16_path(share.c_str(), nullptr, 0), expected.size());
    // Cyrillic to the last byte: 1,020 bytes are 510 units.
    std::string cyrillic = "C:\\";
    for (int i = 0; i < 510; i++) cyrillic += "\xD0\xB6";
    EXPECT_EQ(cyrillic.size(), PATH_CAP - 1);
    EXPECT_EQ(path16(cyrillic), L"\\\\?\\C:\\" + std::wstring(510, (wchar_t)0x436));
}

}  // namespace
