// The response writers on the in-memory platform, where standard output
// can be read back: a document whose Buf has failed is never written in
// part; the fixed 500 document goes out in its place.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "base/limits.h"
#include "cgi/emit.h"
#include "platform_fake.h"
#include "strict_json.h"

namespace {

// A Buf that holds the start of a document and then failed: its last
// append would have passed the 64 MiB limit.
void failed_document(Buf *b) {
    buf_adds(b, "{\"ok\":true,\"pad\":\"");
    std::string pad(BUF_MAX_CAP - 100, 'p');
    buf_adds(b, pad.c_str());
    buf_adds(b, pad.c_str());  // fails: the document now has a piece missing
    buf_adds(b, "\"}\n");
}

TEST(ResponseWriters, AFailedBufferGivesTheFixed500) {
    const std::string huge(BUF_MAX_CAP, 'd');
    struct Case {
        const char *why;
        void (*write)(const std::string &huge);
        std::string expected;
    } cases[] = {
        {"a document that was built whole",
         [](const std::string &) {
             Buf b = {};
             buf_adds(&b, "{\"ok\":true}\n");
             emit_json(&b);
             EXPECT_EQ(b.data, nullptr);
         },
         std::string(JSON_HEADER) + "{\"ok\":true}\n"},
        {"a document whose buffer failed",
         [](const std::string &) {
             Buf b = {};
             failed_document(&b);
             ASSERT_EQ(b.failed, 1);
             emit_json(&b);
             EXPECT_EQ(b.data, nullptr);
             EXPECT_EQ(b.failed, 0);  // handed back empty
         },
         BUILD_FAILED_RESPONSE},
        {"an error document too large to build",
         [](const std::string &big) { emit_error(502, "Bad Gateway", "start_failed", big.c_str()); },
         BUILD_FAILED_RESPONSE},
        {"an error document that fits",
         [](const std::string &) { emit_error(502, "Bad Gateway", "start_failed", "no JSON"); },
         "Status: 502 Bad Gateway\r\n" + std::string(JSON_HEADER) +
             "{\"ok\":false,\"error\":\"start_failed\",\"detail\":\"no JSON\"}\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        fake_reset();
        c.write(huge);
        EXPECT_EQ(fake_stdout(), c.expected);
    }
}

TEST(ResponseWriters, TheFixed500IsAValidErrorDocument) {
    std::string response = BUILD_FAILED_RESPONSE;
    std::string head = "Status: 500 Internal Server Error\r\n" + std::string(JSON_HEADER);
    ASSERT_EQ(response.compare(0, head.size(), head), 0);
    std::vector<JsonScan::Member> members;
    ASSERT_TRUE(parse_document(response.substr(head.size()), &members));
    ASSERT_EQ(members.size(), 3u);
    EXPECT_EQ(members[0].raw, "false");
    EXPECT_EQ(members[1].decoded, "response_failed");
    EXPECT_EQ(members[2].key, "detail");
}

}  // namespace
