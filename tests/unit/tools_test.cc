// The command runner against real commands, and the readers of the tools'
// answers.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/buf.h"
#include "json/json_reader.h"
#include "base/limits.h"
#include "tools/runner.h"
#include "tools/tool_contract.h"

namespace {

// A throw-away executable shell script.
struct Script {
    std::string path;
    explicit Script(const std::string &body) {
        char tmpl[] = "/tmp/lumivane-tool-XXXXXX";
        int fd = mkstemp(tmpl);
        path = tmpl;
        std::string text = "#!/bin/sh\n" + body + "\n";
        EXPECT_EQ(write(fd, text.data(), text.size()), (ssize_t)text.size());
        close(fd);
        chmod(path.c_str(), 0755);
    }
    ~Script() { unlink(path.c_str()); }
};

struct Capture {
    int result;
    std::string text;
};

Capture run(const std::string &command, const char *args) {
    Buf b = {};
    int r = run_capture(command.c_str(), args, &b);
    Capture c{r, b.data ? std::string(b.data, b.len) : "(untouched)"};
    buf_free(&b);
    return c;
}

TEST(RunCapture, Results) {
    Script exits1("echo '{\"ok\":true}'; exit 1");
    Script args("printf '%s|' \"$@\"");
    Script err("echo out; echo err >&2");
    EXPECT_EQ(run("", "--status").result, 0);
    Buf b = {};
    EXPECT_EQ(run_capture(nullptr, "--status", &b), 0);
    EXPECT_EQ(b.data, nullptr);
    Capture missing = run("/nonexistent/tool", "--status");
    EXPECT_EQ(missing.result, -1);
    Capture failing = run(exits1.path, "--poll");
    EXPECT_EQ(failing.result, 1);
    EXPECT_EQ(failing.text, "{\"ok\":true}");
    EXPECT_EQ(run(args.path, "--start --force").text, "--start|--force|");  // options are not quoted
    EXPECT_EQ(run(args.path, "").text, "|");  // no options at all
    EXPECT_EQ(run(err.path, "").text, "out");  // standard error never reaches the capture
}

TEST(RunCapture, CommandLengthLimit) {
    // A command of up to 509 bytes is run; a longer one is refused whole.
    // (Directory names of at most 255 bytes, so that the path is only missing.)
    std::string fits = "/tmp/" + std::string(251, 'd') + "/" + std::string(250, 'd') + "/x";
    ASSERT_EQ(fits.size(), TOOL_COMMAND_MAX);
    EXPECT_EQ(run(fits, "").result, -1);  // run, and not found
    EXPECT_EQ(run(fits + "y", "").result, 0);  // not run at all
    // A quote is a byte like any other: no shell reads the command.
    EXPECT_EQ(run("/tmp/" + std::string(130, '\''), "").result, -1);
}

TEST(RunCapture, CaptureLimitCountsEveryByte) {
    struct Case {
        const char *why;
        std::string body;
        size_t kept;
    } cases[] = {
        {"exactly the limit", "head -c 262144 /dev/zero | tr '\\0' 'a'", CAPTURE_LIMIT},
        {"one more byte: the bytes up to the limit", "head -c 262145 /dev/zero | tr '\\0' 'a'", CAPTURE_LIMIT},
        // 1,001-byte lines: the 262nd is cut at the limit.
        {"lines", "i=0; while [ $i -lt 300 ]; do head -c 1000 /dev/zero | tr '\\0' 'l'; echo; i=$((i+1)); done",
         CAPTURE_LIMIT},
        {"whitespace only", "printf ' \\r\\n\\t\\v\\f\\n'", 0},
        {"NUL bytes are kept and counted", "printf 'ab\\000cd\\nef'", 8},
        {"a NUL flood stops at the limit", "cat /dev/zero", CAPTURE_LIMIT},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        Script s(c.body);
        Capture got = run(s.path, "");
        EXPECT_EQ(got.result, 1);
        EXPECT_EQ(got.text.size(), c.kept);
    }
}

TEST(RunCapture, TimeLimitAndStandardInput) {
    Script sleeper("echo '{\"ok\":true}'; sleep 30");
    Script reader("n=$(cat | wc -c | tr -d ' '); echo \"read $n\"");
    setenv("LUMIVANE_TOOL_TIMEOUT", "1", 1);
    Capture late = run(sleeper.path, "--status");
    unsetenv("LUMIVANE_TOOL_TIMEOUT");
    EXPECT_EQ(late.result, RUN_TIMED_OUT);
    EXPECT_EQ(run(reader.path, "").text, "read 0");  // standard input is the null device
}

TEST(ToolBins, DefaultsAndOverrides) {
    unsetenv("LUMIVANE_LOGIN_BIN");
    setenv("LUMIVANE_TOKEN_BIN", "", 1);
    EXPECT_STREQ(login_bin(), "vantorel-lumivane-login");
    EXPECT_STREQ(token_bin(), "vantorel-lumivane-fetchtoken");
    setenv("LUMIVANE_LOGIN_BIN", "/opt/my login", 1);
    EXPECT_STREQ(login_bin(), "/opt/my login");
    unsetenv("LUMIVANE_LOGIN_BIN");
    unsetenv("LUMIVANE_TOKEN_BIN");
}

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
        EXPECT_EQ(read_poll_answer(c.line, &a), c.outcome);
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
        read_start_answer(line.c_str(), &a);
        EXPECT_EQ(a.interval, c.interval);
        EXPECT_EQ(a.expires_in, c.expires_in);
        EXPECT_EQ(std::string(a.verify_url), c.url_kept ? "https://v" : "");
        EXPECT_EQ(std::string(a.user_code), c.code_kept ? "AB-12" : "");
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
