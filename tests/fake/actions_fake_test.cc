// The rows of the actions that need a tool that ran a moment ago but now
// cannot be started: reachable only on the in-memory platform, where each
// (command, option) pair has its own outcome.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/actions.h"
#include "platform_fake.h"

namespace {

const char LOGIN[] = "/opt/lv/login";
const char TOKEN[] = "/opt/lv/token";
const std::string JSON_HEADER =
    "Content-Type: application/json; charset=utf-8\r\nCache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\n\r\n";

// Both tools present and answering --status / --help; `option` of `tool`
// has the given outcome (by default: it cannot be started).
void node_with_unstartable(const char *tool, const char *option, ToolResult result = TOOL_NOT_STARTED,
                           const std::string &output = "") {
    fake_reset();
    fake_set_now(1700000000);
    fake_setenv("LUMIVANE_LOGIN_BIN", LOGIN);
    fake_setenv("LUMIVANE_TOKEN_BIN", TOKEN);
    fake_set_entry("auth.json", FAKE_REGULAR, "{\"access_token\":\"a\"}");
    fake_set_entry("lumivane-default.json", FAKE_REGULAR, "{\"created\":1699999990}");
    fake_set_tool(LOGIN, "--status", TOOL_RAN, "{\"ok\":true}");
    fake_set_tool(TOKEN, "--help", TOOL_RAN, "usage");
    fake_set_tool(tool, option, result, output);
}

TEST(ActionsOnFakePlatform, ToolThatCannotBeStarted) {
    enum Match { WHOLE, OPENING };  // OPENING: a status document, whose clock fields vary
    struct Case {
        const char *why;
        int (*action)(void);
        const char *tool, *option;
        Match match;
        std::string response;
        int exit_code;
        std::vector<std::string> commands;
    } cases[] = {
        {"start", [] { return action_start(0); }, LOGIN, "--start", WHOLE,
         "Status: 500 Internal Server Error\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"start_failed\",\"detail\":\"cannot spawn login CLI\"}\n",
         1, {"--help", "--status", "--start"}},
        {"forced start", [] { return action_start(1); }, LOGIN, "--start --force", WHOLE,
         "Status: 500 Internal Server Error\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"start_failed\",\"detail\":\"cannot spawn login CLI\"}\n",
         1, {"--help", "--status", "--start --force"}},
        {"poll", action_poll, LOGIN, "--poll", WHOLE,
         "Status: 500 Internal Server Error\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"poll_failed\",\"detail\":\"cannot spawn login CLI\"}\n",
         1, {"--help", "--status", "--poll"}},
        // Cancel treats it like a run without output: a fresh snapshot.
        {"cancel", action_cancel, LOGIN, "--cancel", OPENING,
         JSON_HEADER + "{\"ok\":true,\"state\":\"cancelled\",\"provider\":\"lumivane\",\"logged_in\":true,", 0,
         {"--help", "--status", "--cancel", "--help", "--status"}},
        {"refresh", action_refresh, TOKEN, "-local", WHOLE,
         "Status: 200 OK\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"refresh_failed\",\"detail\":\"token CLI could not run\"}\n",
         1, {"--help", "--status", "-local"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        node_with_unstartable(c.tool, c.option);
        int exit_code = c.action();
        const std::string &out = fake_stdout();
        if (c.match == OPENING) {
            EXPECT_EQ(out.compare(0, c.response.size(), c.response), 0) << out;
        } else {
            EXPECT_EQ(out, c.response);
        }
        EXPECT_EQ(exit_code, c.exit_code);
        std::vector<std::string> options;
        for (const std::string &line : fake_command_log()) options.push_back(line.substr(line.find(' ') + 1));
        EXPECT_EQ(options, c.commands);
        EXPECT_TRUE(fake_entry_exists("lumivane-default.json"));  // no action removes it itself here
    }
}

TEST(ActionsOnFakePlatform, ToolPastItsTimeLimit) {
    // Each tool prints a usable answer first, then runs past its limit:
    // what it printed is not used.
    struct Case {
        const char *why;
        int (*action)(void);
        const char *tool, *option, *output;
        std::string response;
        int exit_code;
    } cases[] = {
        {"start", [] { return action_start(0); }, LOGIN, "--start",
         "{\"ok\":true,\"verify_url\":\"https://v\",\"user_code\":\"C\"}",
         "Status: 504 Gateway Timeout\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"start_failed\",\"detail\":\"login CLI timed out\"}\n", 1},
        {"poll", action_poll, LOGIN, "--poll", "{\"ok\":true,\"state\":\"done\"}",
         "Status: 504 Gateway Timeout\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"poll_failed\",\"detail\":\"login CLI timed out\"}\n", 1},
        {"cancel", action_cancel, LOGIN, "--cancel", "{\"ok\":true}",
         "Status: 200 OK\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"cancel_failed\",\"detail\":\"login CLI timed out\"}\n", 0},
        {"refresh", action_refresh, TOKEN, "-local", "{\"access_token\":\"t\"}",
         "Status: 200 OK\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"refresh_failed\",\"detail\":\"token CLI timed out\"}\n", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        node_with_unstartable(c.tool, c.option, TOOL_TIMED_OUT, c.output);
        EXPECT_EQ(c.action(), c.exit_code);
        EXPECT_EQ(fake_stdout(), c.response);
    }
}

// In the snapshot a --status past its limit is a tool that is there with
// an empty report (what it printed first is not used), and a --help probe
// past its limit is a token tool that is there.
TEST(ActionsOnFakePlatform, StatusToolsPastTheirTimeLimit) {
    node_with_unstartable(LOGIN, "--status", TOOL_TIMED_OUT, "{\"ok\":true,\"account\":\"late\",\"logged_in\":true}");
    fake_set_tool(TOKEN, "--help", TOOL_TIMED_OUT, "usage");
    EXPECT_EQ(action_status(), 0);
    const std::string &out = fake_stdout();
    EXPECT_NE(out.find("\"account\":\"\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"cli_present\":true,\"token_cli_present\":true"), std::string::npos) << out;
    EXPECT_EQ(out.find("cli_error"), std::string::npos) << out;
}

}  // namespace
