// The response buffer, the JSON string encoding and the error document.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/buf.h"
#include "cgi/emit.h"
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

TEST(Buf, LimitIs64MiBAndAFailedAppendChangesNothing) {
    Buf b = {};
    ASSERT_EQ(buf_need(&b, BUF_MAX_CAP - 1), 1);  // need of exactly 64 MiB
    EXPECT_EQ(b.cap, BUF_MAX_CAP);
    std::string big(BUF_MAX_CAP - 2, 'a');
    ASSERT_EQ(buf_adds(&b, big.c_str()), 1);
    char *data = b.data;
    size_t len = b.len, cap = b.cap;
    EXPECT_EQ(buf_adds(&b, "bc"), 0);  // would need 64 MiB + 1
    EXPECT_EQ(b.data, data);
    EXPECT_EQ(b.len, len);
    EXPECT_EQ(b.cap, cap);
    EXPECT_EQ(b.data[b.len], '\0');
    EXPECT_EQ(buf_addc(&b, 'z'), 1);  // a later append that fits still works
    EXPECT_EQ(b.len, BUF_MAX_CAP - 1);
    EXPECT_EQ(buf_need(&b, (size_t)-1), 0);  // no wrap-around on a huge need
    buf_free(&b);

    Buf empty = {};
    EXPECT_EQ(buf_need(&empty, BUF_MAX_CAP), 0);
    EXPECT_EQ(empty.data, nullptr);
    EXPECT_EQ(empty.cap, 0u);
}

TEST(Buf, FormattedAppendIsCutAt2047Bytes) {
    Buf b = {};
    std::string long_arg(3000, 'q');
    EXPECT_EQ(buf_addf(&b, "%s", long_arg.c_str()), 1);
    EXPECT_EQ(b.len, 2047u);
    EXPECT_EQ(buf_addf(&b, "%d|%lld|%04x", -7, -9000000000LL, 0x1b), 1);
    EXPECT_EQ(text(b).substr(2047), "-7|-9000000000|001b");
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
        {"\x7f\xc3\xa9\xff", "\"\x7f\xc3\xa9\xff\""},  // DEL and high bytes pass unchanged
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.out);
        Buf b = {};
        EXPECT_EQ(buf_json(&b, c.in.c_str()), 1);
        EXPECT_EQ(text(b), c.out);
        buf_free(&b);
    }
}

TEST(ErrorDocument, HeaderLinesAndOptionalDetail) {
    struct Case {
        int status;
        const char *reason, *code, *detail;
        std::string body;
    } cases[] = {
        {502, "Bad Gateway", "start_failed", "login CLI produced no JSON",
         "{\"ok\":false,\"error\":\"start_failed\",\"detail\":\"login CLI produced no JSON\"}\n"},
        {200, "OK", "x", "", "{\"ok\":false,\"error\":\"x\"}\n"},
        {200, "OK", "a\"b", "line\nfeed", "{\"ok\":false,\"error\":\"a\\\"b\",\"detail\":\"line\\nfeed\"}\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        Buf b = {};
        build_error(&b, c.status, c.reason, c.code, c.detail);
        std::string expected = "Status: " + std::to_string(c.status) + " " + c.reason + "\r\n" +
                               JSON_HEADER + c.body;
        EXPECT_EQ(text(b), expected);
        buf_free(&b);
    }
}

// The fixed texts, spelled out here on their own: a web host and the
// browser rely on each header line and on the refusal's exact body.
TEST(FixedResponses, ExactBytes) {
    EXPECT_STREQ(JSON_HEADER,
                 "Content-Type: application/json; charset=utf-8\r\n"
                 "Cache-Control: no-store\r\n"
                 "X-Content-Type-Options: nosniff\r\n"
                 "\r\n");
    EXPECT_STREQ(UNAUTHORIZED_RESPONSE,
                 "Status: 401 Unauthorized\r\n"
                 "Content-Type: application/json; charset=utf-8\r\n"
                 "Cache-Control: no-store\r\n"
                 "\r\n"
                 "{\"ok\":false,\"error\":\"invalid node password\"}\n");
}

}  // namespace
