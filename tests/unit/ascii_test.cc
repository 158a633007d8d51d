// ASCII case folding: the same answer on every platform and in every
// locale, which the C runtimes' own case-insensitive compares do not give.
#include <gtest/gtest.h>

#include "base/ascii.h"

namespace {

int sign(int v) { return (v > 0) - (v < 0); }

TEST(AsciiStrnicmp, FoldsAsciiLettersOnly) {
    struct Case {
        const char *a, *b;
        size_t n;
        int sign;
    } cases[] = {
        {"Bearer ", "bEARER ", 7, 0},
        {"Bearer x", "Bearer y", 7, 0},          // only n bytes count
        {"abc", "abd", 3, -1},
        {"abd", "ABC", 3, 1},                    // the difference of the lower-cased bytes
        {"ab", "ab", 10, 0},                     // a shared NUL ends the comparison
        {"ab", "abc", 10, -1},                   // a NUL before the other text's byte
        {"", "x", 0, 0},
        {"\xC4", "\xE4", 1, -1},                 // Latin-1 letters are bytes, not letters
        {"@", "`", 1, -1},                       // the neighbours of 'A' and 'a' are not letters
        {"[", "{", 1, -1},                       // nor those of 'Z' and 'z'
        {"\xFF", "a", 1, 1},                     // compared as unsigned bytes
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " | " + c.b);
        EXPECT_EQ(sign(ascii_strnicmp(c.a, c.b, c.n)), c.sign);
    }
}

}  // namespace
