// The bytes of the fixed responses and of the error document
// (cgi/response_text.cc).
#include <gtest/gtest.h>

#include <string>

#include "base/buf.h"
#include "cgi/response_text.h"

namespace {

std::string text(const Buf &b) { return b.data ? std::string(b.data, b.len) : std::string(); }

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
                 "X-Content-Type-Options: nosniff\r\n"
                 "\r\n"
                 "{\"ok\":false,\"error\":\"invalid node password\"}\n");
}

}  // namespace
