// The readers of the tools' answers, on text: the last JSON line of a
// capture, and what each kind of answer gives.
#include <gtest/gtest.h>

#include <string.h>

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
        EXPECT_EQ(read_poll_answer(c.line, c.line + strlen(c.line), &a), c.outcome);
        EXPECT_EQ(a.interval, c.interval);
    }
}

// A capture holding `bytes`, NULs included, and its answer as the actions
// take it: from the last JSON line to the end of the capture.
struct Answer {
    Buf capture = {};
    const char *line, *end;
    explicit Answer(const std::string &bytes) {
        buf_addn(&capture, bytes.data(), bytes.size());
        line = last_json_line(&capture);
        end = capture.data + capture.len;
    }
    ~Answer() { buf_free(&capture); }
};

// The whole string literal, NUL bytes inside it included.
template <size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

TEST(ToolAnswers, ExpiryAndTokenPresence) {
    EXPECT_EQ(expiry_seconds(0), 0);
    EXPECT_EQ(expiry_seconds(-1), 0);
    EXPECT_EQ(expiry_seconds(MILLISECOND_THRESHOLD), MILLISECOND_THRESHOLD);
    EXPECT_EQ(expiry_seconds(MILLISECOND_THRESHOLD + 1), MILLISECOND_THRESHOLD / 1000);
    struct Case {
        const char *why;
        std::string output;
        int has_access_token;
        std::string org_id;
    } cases[] = {
        {"an empty token", R"({"access_token":"","org_id":"o"})", 0, "o"},
        {"a token of escape pairs only", R"({"access_token":"\n\t"})", 0, ""},
        {"an object is no token and no text", R"({"access_token":{"value":"t"},"org_id":{"access_token":"t"}})", 0,
         ""},
        // The answer runs to the end of the capture, over a NUL byte.
        {"a token after a NUL", bytes("{\"note\":\"\0\",\"access_token\":\"t\",\"org_id\":\"o\"}"), 1, "o"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        Answer a(c.output);
        ASSERT_NE(a.line, nullptr);
        TokenAnswer t;
        read_token_answer(a.line, a.end, &t);
        EXPECT_EQ(t.has_access_token, c.has_access_token);
        EXPECT_EQ(std::string(t.org_id), c.org_id);
    }
}

TEST(ToolAnswers, CancelAcceptedUnlessOkIsFalse) {
    struct Case {
        std::string output;
        int accepted;
    } cases[] = {
        {"{}", 1},
        {R"({"ok":0})", 0},
        {bytes("{\"a\":\"x\0\",\"ok\":false}"), 0},  // ok lies after a NUL
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.output);
        Answer a(c.output);
        EXPECT_EQ(read_cancel_accepted(a.line, a.end), c.accepted);
    }
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
