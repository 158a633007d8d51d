// The response buffer and the JSON string encoding.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/buf.h"
#include "base/limits.h"

namespace {

std::string text(const Buf &b) { return b.data ? std::string(b.data, b.len) : std::string(); }

TEST(Buf, CapacityGrowsByDoublingFrom1024) {
    struct Case {
        size_t first_append;
        size_t expected_cap;
    } cases[] = {
        {0, 1024},      // even the empty text makes the first allocation
        {1, 1024},
        {1023, 1024},
        {1024, 2048},   // len 1024 needs 1025 bytes
        {2999, 4096},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first_append);
        Buf b = {};
        std::string s(c.first_append, 'x');
        ASSERT_EQ(buf_adds(&b, s.c_str()), 1);
        EXPECT_EQ(b.cap, c.expected_cap);
        EXPECT_EQ(b.len, c.first_append);
        EXPECT_EQ(b.data[b.len], '\0');
        buf_free(&b);
    }
}

TEST(Buf, LimitIs64MiBAndAFailureIsSticky) {
    Buf b = {};
    ASSERT_EQ(buf_need(&b, BUF_MAX_CAP - 1), 1);  // need of exactly 64 MiB
    EXPECT_EQ(b.cap, BUF_MAX_CAP);
    std::string big(BUF_MAX_CAP - 2, 'a');
    ASSERT_EQ(buf_adds(&b, big.c_str()), 1);
    char *data = b.data;
    size_t len = b.len, cap = b.cap;
    EXPECT_EQ(b.failed, 0);
    EXPECT_EQ(buf_adds(&b, "bc"), 0);  // would need 64 MiB + 1
    EXPECT_EQ(b.data, data);
    EXPECT_EQ(b.len, len);
    EXPECT_EQ(b.cap, cap);
    EXPECT_EQ(b.data[b.len], '\0');
    EXPECT_EQ(b.failed, 1);
    // Every later append fails too, though it would fit: the text never
    // gets a hole where the failed piece belonged.
    EXPECT_EQ(buf_addc(&b, 'z'), 0);
    EXPECT_EQ(buf_adds(&b, ""), 0);
    EXPECT_EQ(buf_addf(&b, "%d", 1), 0);
    EXPECT_EQ(buf_json(&b, "x"), 0);
    EXPECT_EQ(b.len, len);
    buf_free(&b);
    EXPECT_EQ(b.failed, 0);  // a freed Buf starts over
    EXPECT_EQ(buf_addc(&b, 'z'), 1);
    buf_free(&b);

    Buf empty = {};
    EXPECT_EQ(buf_need(&empty, (size_t)-1), 0);  // no wrap-around on a huge need
    EXPECT_EQ(empty.data, nullptr);
    EXPECT_EQ(empty.cap, 0u);
    EXPECT_EQ(empty.failed, 1);
    buf_free(&empty);
}

// Formatted text is whole or not at all: output beyond the scratch size
// fails the append (and the Buf, as every failure does) instead of going
// out cut, and the text stays as it was.
TEST(Buf, FormattedAppendIsWholeOrFails) {
    struct Case {
        size_t arg_len;
        int result;
        size_t len;  // of the text afterwards ("<" and the argument)
    } cases[] = {
        {BUF_FORMAT_SCRATCH - 2, 1, BUF_FORMAT_SCRATCH - 1},  // "<" plus the argument: the largest that fits
        {BUF_FORMAT_SCRATCH - 1, 0, 0},
        {3000, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arg_len);
        Buf b = {};
        std::string arg(c.arg_len, 'q');
        EXPECT_EQ(buf_addf(&b, "<%s", arg.c_str()), c.result);
        EXPECT_EQ(b.len, c.len);
        EXPECT_EQ(b.failed, !c.result);
        EXPECT_EQ(buf_adds(&b, "z"), c.result);  // a failure is sticky
        buf_free(&b);
    }
    Buf b = {};
    EXPECT_EQ(buf_addf(&b, "%d|%lld|%04x", -7, -9000000000LL, 0x1b), 1);
    EXPECT_EQ(text(b), "-7|-9000000000|001b");
    buf_free(&b);
}

// A literal whose later piece does not fit is taken out whole: the text
// ends where it ended before, not inside an open string.
TEST(BufJson, FailureLeavesTheTextAsItWas) {
    Buf b = {};
    std::string big(BUF_MAX_CAP - 3, 'a');  // room for two more bytes
    ASSERT_EQ(buf_adds(&b, big.c_str()), 1);
    EXPECT_EQ(buf_json(&b, "xy"), 0);  // the quote and x fit, y does not
    EXPECT_EQ(b.len, BUF_MAX_CAP - 3);
    EXPECT_EQ(b.data[b.len], '\0');
    EXPECT_EQ(b.data[b.len - 1], 'a');
    EXPECT_EQ(b.failed, 1);
    buf_free(&b);
}

TEST(BufJson, EncodesEachByte) {
    struct Case {
        std::string in;
        std::string out;
    } cases[] = {
        {"", "\"\""},
        {"plain / slash", "\"plain / slash\""},
        {"q\"b\\", "\"q\\\"b\\\\\""},
        {"\n\r\t", "\"\\n\\r\\t\""},
        {"\x01\x08\x0c\x1b\x1f", "\"\\u0001\\u0008\\u000c\\u001b\\u001f\""},  // no short \b or \f
        {"\x7f\xc3\xa9", "\"\x7f\xc3\xa9\""},          // DEL and well-formed UTF-8 pass unchanged
        {"\xe2\x82\xac \xf0\x9f\x98\x80 \xef\xbf\xbf \xf4\x8f\xbf\xbf", "\"\xe2\x82\xac \xf0\x9f\x98\x80 \xef\xbf\xbf \xf4\x8f\xbf\xbf\""},
        // Each ill-formed unit becomes one U+FFFD (written as its 3 bytes).
        {"\xff", "\"\xef\xbf\xbd\""},                   // a byte that begins nothing
        {"a\x80" "b", "\"a\xef\xbf\xbd" "b\""},         // a lone continuation byte
        {"\xc0\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\""},   // overlong '/': two units
        {"\xe0\x80\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},  // overlong 3-byte form
        {"\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},  // a surrogate
        {"\xf4\x90\x80\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},  // above U+10FFFF
        {"\xe2\x82" "x", "\"\xef\xbf\xbd" "x\""},       // a character missing its last byte: one unit
        {"\xf0\x9f\x98", "\"\xef\xbf\xbd\""},           // cut at the end of the text
        {"\xc3\"", "\"\xef\xbf\xbd\\\"\""},            // cut by a quote, which is still escaped
        {"\xc3\n", "\"\xef\xbf\xbd\\n\""},
        {std::string(3, 'x') + "\xc3", "\"xxx\xef\xbf\xbd\""},  // a text that a careless cut ended inside a character
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.out);
        Buf b = {};
        EXPECT_EQ(buf_json(&b, c.in.c_str()), 1);
        EXPECT_EQ(text(b), c.out);
        buf_free(&b);
    }
}

}  // namespace
