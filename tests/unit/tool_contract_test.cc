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
        {R"({"ok":true,"interval":4294967301})", POLL_PENDING, 5},
        {R"({"ok":true,"interval":4294967297})", POLL_PENDING, 5},  // not 1, as narrowed to 32 bits
        {R"({"ok":true,"interval":3600})", POLL_PENDING, 3600},
        {R"({"ok":true,"interval":3601})", POLL_PENDING, 5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        PollAnswer a;
        EXPECT_EQ(read_poll_answer(c.line, c.line + strlen(c.line), &a), c.outcome);
        EXPECT_EQ(a.interval, c.interval);
    }
}

TEST(ToolAnswers, StartNumbersInRangeAndTextsWhole) {
    struct Case {
        std::string members;
        int interval;
        long long expires_in;
        bool url_kept, code_kept;
    } cases[] = {
        {R"("interval":7,"expires_in":600)", 7, 600, true, true},
        {R"("interval":0,"expires_in":0)", 5, 900, true, true},
        {R"("interval":4294967297,"expires_in":4294967297)", 5, 900, true, true},
        {R"("interval":2147483648)", 5, 900, true, true},
        {R"("interval":-2147483648)", 5, 900, true, true},
        {R"("interval":3600,"expires_in":86400)", 3600, 86400, true, true},
        {R"("interval":3601,"expires_in":86401)", 5, 900, true, true},
        {R"("user_code":")" + std::string(64, 'C') + "\"", 5, 900, true, false},
        {R"("verify_url":")" + std::string(1024, 'u') + "\"", 5, 900, false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.members.substr(0, 60));
        // The first occurrence of a key counts, so the row's members,
        // placed first, stand in for the defaults that follow them.
        std::string line = "{" + c.members + R"(,"ok":true,"verify_url":"https://v","user_code":"AB-12"})";
        StartAnswer a;
        read_start_answer(line.c_str(), line.c_str() + line.size(), &a);
        EXPECT_EQ(a.interval, c.interval);
        EXPECT_EQ(a.expires_in, c.expires_in);
        EXPECT_EQ(std::string(a.verify_url), c.url_kept ? "https://v" : "");
        EXPECT_EQ(std::string(a.user_code), c.code_kept ? "AB-12" : "");
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

// A --cancel run without an answer: only exit status 0 cancelled, and the
// detail of any other end says how it came.
TEST(CancelRun, OnlyExitStatusZeroWithoutAnAnswerCancels) {
    struct Case {
        const char *why;
        ToolExit how;
        int succeeded;
        const char *detail;
    } cases[] = {
        {"exit 0", {1, 0, 0}, 1, "login CLI exited with status 0"},
        {"exit 1", {1, 0, 1}, 0, "login CLI exited with status 1"},
        {"exit 255", {1, 0, 255}, 0, "login CLI exited with status 255"},
        {"a Windows status past 2^31", {1, 0, 2147483649ul}, 0, "login CLI exited with status 2147483649"},
        {"killed", {0, 1, 0}, 0, "login CLI was killed"},
        {"left running: no exit status at all", {0, 0, 0}, 0, "login CLI did not exit"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(cancel_run_succeeded(&c.how), c.succeeded);
        char detail[ERROR_TEXT_CAP];
        describe_tool_end(LOGIN_TOOL_LABEL, &c.how, detail, sizeof detail);
        EXPECT_STREQ(detail, c.detail);
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
