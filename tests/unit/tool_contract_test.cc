// The readers of the tools' answers, on text: the last JSON line of a
// capture, and what each kind of answer gives.
#include <gtest/gtest.h>

#include <string>

#include "base/buf.h"
#include "base/limits.h"
#include "tools/tool_contract.h"

namespace {

TEST(ToolAnswers, PollOutcomes) {
    struct Case {
        const char *line;
        PollOutcome outcome;
        int interval;
    } cases[] = {
        {R"({"ok":true,"state":"done"})", POLL_DONE, 0},
        {R"({"ok":true,"logged_in":"1"})", POLL_DONE, 0},
        {R"({"ok":false,"state":"done"})", POLL_FAILED, 0},
        {R"({"state":"done"})", POLL_FAILED, 0},
        {R"({"ok":true,"state":"Done","interval":9})", POLL_PENDING, 9},
        {R"({"ok":true,"interval":0})", POLL_PENDING, 5},
        {R"({"ok":true,"interval":4294967301})", POLL_PENDING, 5},  // narrowed to 32 bits: 5
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        PollAnswer a;
        EXPECT_EQ(read_poll_answer(c.line, &a), c.outcome);
        EXPECT_EQ(a.interval, c.interval);
    }
}

TEST(ToolAnswers, ExpiryAndTokenPresence) {
    EXPECT_EQ(expiry_seconds(0), 0);
    EXPECT_EQ(expiry_seconds(-1), 0);
    EXPECT_EQ(expiry_seconds(MILLISECOND_THRESHOLD), MILLISECOND_THRESHOLD);
    EXPECT_EQ(expiry_seconds(MILLISECOND_THRESHOLD + 1), MILLISECOND_THRESHOLD / 1000);
    TokenAnswer t;
    read_token_answer(R"({"access_token":"","org_id":"o"})", &t);
    EXPECT_EQ(t.has_access_token, 0);
    EXPECT_STREQ(t.org_id, "o");
    read_token_answer(R"({"access_token":{"value":"t"},"org_id":{"access_token":"t"}})", &t);
    EXPECT_EQ(t.has_access_token, 0);
    EXPECT_STREQ(t.org_id, "");  // an object is no text
    EXPECT_EQ(read_cancel_accepted("{}"), 1);
    EXPECT_EQ(read_cancel_accepted(R"({"ok":0})"), 0);
}

TEST(LastJsonLine, PicksTheLastLineStartingWithABrace) {
    struct Case {
        std::string output;
        std::string line;  // "(null)" when none
    } cases[] = {
        {"starting\n{\"ok\":true}\nbye", "{\"ok\":true}\nbye"},
        {"{\"a\":1}\n{\"b\":2}", "{\"b\":2}"},
        {"{\"a\":1}\n {\"b\":2}", "{\"a\":1}\n {\"b\":2}"},  // an indented brace starts no line
        {"log\r\n{\"ok\":1}\r\n", "{\"ok\":1}\r\n"},
        {"no json here", "(null)"},
        {"x{\"a\":1}", "(null)"},
        {"\xEF\xBB\xBF{\"ok\":1}", "{\"ok\":1}"},                  // a byte-order mark before the brace
        {"log\n\xEF\xBB\xBF{\"ok\":1}\nbye", "{\"ok\":1}\nbye"},    // on any line
        {"{\"a\":1}\n\xEF\xBB\xBFlog", "{\"a\":1}\n\xEF\xBB\xBFlog"},  // a mark before no brace starts nothing
        {"\xEF\xBB\xBF", "(null)"},
        {"\xEF\xBB{\"a\":1}", "(null)"},
        {"", "(null)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.output);
        Buf b = {};
        buf_adds(&b, c.output.c_str());
        const char *line = last_json_line(&b);
        EXPECT_EQ(line ? std::string(line) : std::string("(null)"), c.line);
        buf_free(&b);
    }
    Buf empty = {};
    EXPECT_EQ(last_json_line(&empty), nullptr);
}

}  // namespace
