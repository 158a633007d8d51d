// The command runner against real commands (shell scripts written for the
// case), and the tool commands read from the real environment.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/buf.h"
#include "base/limits.h"
#include "tools/runner.h"

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

Capture run(const std::string &command, std::vector<const char *> words) {
    ToolOptions options = {};
    for (const char *w : words) options.words[options.count++] = w;
    Buf b = {};
    int r = run_capture(command.c_str(), &options, &b, nullptr);
    Capture c{r, b.data ? std::string(b.data, b.len) : "(untouched)"};
    buf_free(&b);
    return c;
}

TEST(RunCapture, Results) {
    Script exits1("echo '{\"ok\":true}'; exit 1");
    Script args("printf '%s|' \"$@\"");
    Script err("echo out; echo err >&2");
    EXPECT_EQ(run("", {"--status"}).result, 0);
    Buf b = {};
    EXPECT_EQ(run_capture(nullptr, &LOGIN_STATUS, &b, nullptr), 0);
    EXPECT_EQ(b.data, nullptr);
    Capture missing = run("/nonexistent/tool", {"--status"});
    EXPECT_EQ(missing.result, -1);
    Capture failing = run(exits1.path, {"--poll"});
    EXPECT_EQ(failing.result, 1);
    EXPECT_EQ(failing.text, "{\"ok\":true}");
    EXPECT_EQ(run(args.path, {"--start", "--force"}).text, "--start|--force|");  // options are not quoted
    EXPECT_EQ(run(args.path, {}).text, "|");  // no options at all
    EXPECT_EQ(run(err.path, {}).text, "out");  // standard error never reaches the capture
}

TEST(RunCapture, CommandLengthLimit) {
    // A command of up to 509 bytes is run; a longer one is refused whole.
    // (Directory names of at most 255 bytes, so that the path is only missing.)
    std::string fits = "/tmp/" + std::string(251, 'd') + "/" + std::string(250, 'd') + "/x";
    ASSERT_EQ(fits.size(), TOOL_COMMAND_MAX);
    EXPECT_EQ(run(fits, {}).result, -1);  // run, and not found
    EXPECT_EQ(run(fits + "y", {}).result, 0);  // not run at all
    // A quote is a byte like any other: no shell reads the command.
    EXPECT_EQ(run("/tmp/" + std::string(130, '\''), {}).result, -1);
}

// Every byte counts towards the limit, NULs included. Output beyond it is
// cut at the end of the last whole piece before the limit (a line, or
// CAPTURE_PIECE_MAX bytes of a longer one): a line the limit cuts through
// is never read in part.
TEST(RunCapture, CaptureLimitKeepsWholePieces) {
    const size_t whole_pieces = CAPTURE_LIMIT / CAPTURE_PIECE_MAX * CAPTURE_PIECE_MAX;
    struct Case {
        const char *why;
        std::string body;
        size_t kept;
        std::string tail;  // how the capture ends
    } cases[] = {
        {"exactly the limit, all of it", "head -c 262144 /dev/zero | tr '\\0' 'a'", CAPTURE_LIMIT, "aaa"},
        {"one more byte: whole pieces of the long line", "head -c 262145 /dev/zero | tr '\\0' 'a'",
         whole_pieces, "aaa"},
        // 1,001-byte lines: 261 fit, the 262nd is cut by the limit and
        // dropped whole (the last kept line feed is then trimmed).
        {"lines", "i=0; while [ $i -lt 300 ]; do head -c 1000 /dev/zero | tr '\\0' 'l'; echo; i=$((i+1)); done",
         261 * 1001 - 1, "lll"},
        // The answer that the limit cuts is not read; the line before it is.
        {"a JSON line cut by the limit",
         "head -c 262000 /dev/zero | tr '\\0' 'f'; echo; echo '{\"a\":1}'; "
         "echo '{\"ok\":true,\"user_code\":\"ABCD-1234\",\"pad\":\"'$(head -c 300 /dev/zero | tr '\\0' p)'\"}'",
         262001 + 7, "{\"a\":1}"},
        {"a line feed right at the limit keeps all before it",
         "head -c 262143 /dev/zero | tr '\\0' 'a'; echo; echo more", CAPTURE_LIMIT - 1, "aaa"},
        {"whitespace only", "printf ' \\r\\n\\t\\v\\f\\n'", 0, ""},
        {"NUL bytes are kept and counted", "printf 'ab\\000cd\\nef'", 8, std::string("d\nef")},
        {"a NUL flood stops at the limit", "cat /dev/zero", whole_pieces, std::string(3, '\0')},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        Script s(c.body);
        Capture got = run(s.path, {});
        EXPECT_EQ(got.result, 1);
        EXPECT_EQ(got.text.size(), c.kept);
        EXPECT_EQ(got.text.substr(got.text.size() - std::min(got.text.size(), c.tail.size())), c.tail);
    }
}

// A tool killed in the middle of a line left no answer there: that last
// unfinished line is dropped, the lines it finished are kept. A tool that
// exits by itself is read to its last byte, line feed or not.
TEST(RunCapture, KilledToolLosesItsUnfinishedLine) {
    struct Case {
        const char *why;
        const char *body;
        std::string text;
    } cases[] = {
        {"killed mid-line", "printf 'log\\n{\"a\":1}\\n{\"ok\":true,\"user_code\":\"WX'; kill -KILL $$",
         "log\n{\"a\":1}"},
        {"killed by any signal", "printf '{\"ok\":true}'; kill -TERM $$", ""},
        {"killed after a whole line", "echo '{\"ok\":true}'; kill -KILL $$", "{\"ok\":true}"},
        {"exits without a last line feed", "printf '{\"ok\":true}'", "{\"ok\":true}"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        Script s(c.body);
        Capture got = run(s.path, {});
        EXPECT_EQ(got.result, TOOL_RAN);
        EXPECT_EQ(got.text, c.text);
    }
}

TEST(RunCapture, OneDeadlineAndStandardInput) {
    Script sleeper("echo '{\"ok\":true}'; sleep 30");
    Script reader("n=$(cat | wc -c | tr -d ' '); echo \"read $n\"");
    setenv("LUMIVANE_TOOL_TIMEOUT", "1", 1);
    request_deadline_begin();
    Capture late = run(sleeper.path, {"--status"});
    EXPECT_EQ(late.result, TOOL_TIMED_OUT);
    // The request's time is used up: the next run does not even start.
    Capture after = run(reader.path, {});
    EXPECT_EQ(after.result, TOOL_TIMED_OUT);
    EXPECT_EQ(after.text, "(untouched)");
    unsetenv("LUMIVANE_TOOL_TIMEOUT");
    request_deadline_begin();
    EXPECT_EQ(run(reader.path, {}).text, "read 0");  // standard input is the null device
}

// Once a tool's output has ended its answer is whole: the tool gets a short
// grace to exit, and one that still runs then is left running, its answer
// used and the run counted as ran, well before the request's deadline.
TEST(RunCapture, AToolThatClosesItsOutputGetsAGraceToExit) {
    struct Case {
        const char *why;
        const char *body;
        int result;
        const char *text;
    } cases[] = {
        {"stays past the deadline", "echo '{\"ok\":true}'; exec >&-; exec sleep 30", TOOL_RAN, "{\"ok\":true}"},
        {"exits within the grace: its status counts",
         "echo '{\"ok\":true}'; exec >&-; sleep 0.3; exit 127", TOOL_NOT_FOUND, "{\"ok\":true}"},
    };
    setenv("LUMIVANE_TOOL_TIMEOUT", "5", 1);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        request_deadline_begin();
        Script s(c.body);
        Capture got = run(s.path, {});
        EXPECT_EQ(got.result, c.result);
        EXPECT_EQ(got.text, c.text);
    }
    unsetenv("LUMIVANE_TOOL_TIMEOUT");
    request_deadline_begin();
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

}  // namespace
