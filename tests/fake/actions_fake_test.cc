// The rows of the actions that a real process cannot be made to show: a
// tool that ran a moment ago but now cannot be started, a request whose
// time runs out between two runs, and a node lock that another request
// holds. On the in-memory platform each (command, option) pair has its own
// outcome, and the clock moves only when a tool runs to its deadline.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/actions.h"
#include "platform_fake.h"
#include "tools/runner.h"

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
    request_deadline_begin();
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
    struct Case {
        const char *why;
        int (*action)(void);
        const char *tool, *option;
        std::string response;
        int exit_code;
        std::vector<std::string> commands;
    } cases[] = {
        {"start", [] { return action_start(0); }, LOGIN, "--start",
         "Status: 500 Internal Server Error\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"start_failed\",\"detail\":\"cannot spawn login CLI\"}\n",
         1, {"--status", "--start"}},
        {"forced start", [] { return action_start(1); }, LOGIN, "--start --force",
         "Status: 500 Internal Server Error\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"start_failed\",\"detail\":\"cannot spawn login CLI\"}\n",
         1, {"--status", "--start --force"}},
        {"poll", action_poll, LOGIN, "--poll",
         "Status: 500 Internal Server Error\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"poll_failed\",\"detail\":\"cannot spawn login CLI\"}\n",
         1, {"--status", "--poll"}},
        // The tool was never asked: nothing is cancelled.
        {"cancel", action_cancel, LOGIN, "--cancel",
         "Status: 200 OK\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"cancel_failed\",\"detail\":\"cannot spawn login CLI\"}\n",
         0, {"--status", "--cancel"}},
        {"refresh", action_refresh, TOKEN, "-local",
         "Status: 200 OK\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"refresh_failed\",\"detail\":\"token CLI could not run\"}\n",
         1, {"--help", "--status", "-local"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        node_with_unstartable(c.tool, c.option);
        int exit_code = c.action();
        EXPECT_EQ(fake_stdout(), c.response);
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


// The option texts of every tool run since the reset, in order.
std::vector<std::string> options_run(void) {
    std::vector<std::string> options;
    for (const std::string &line : fake_command_log()) options.push_back(line.substr(line.find(' ') + 1));
    return options;
}

const std::string SPAWN_FAILED_START = "Status: 500 Internal Server Error\r\n" + JSON_HEADER +
                                       "{\"ok\":false,\"error\":\"start_failed\",\"detail\":\"cannot spawn login CLI\"}\n";

// Only a login tool that is not found is absent. One that the snapshot
// found there but unable to start answers as the action's own run failing
// to start, and the marker stays where it is.
TEST(ActionsOnFakePlatform, SnapshotFindsTheLoginToolUnableToStart) {
    const std::string MISSING = "Status: 200 OK\r\n" + JSON_HEADER +
                                "{\"ok\":false,\"error\":\"cli_unavailable\",\"detail\":"
                                "\"vantorel-lumivane-login is not on this node\"}\n";
    struct Case {
        const char *why;
        ToolResult status_run;
        int (*action)(void);
        std::string response;
        int exit_code;
        bool marker_kept;
    } cases[] = {
        {"start", TOOL_NOT_STARTED, [] { return action_start(0); }, SPAWN_FAILED_START, 1, true},
        {"poll", TOOL_NOT_STARTED, action_poll,
         "Status: 500 Internal Server Error\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"poll_failed\",\"detail\":\"cannot spawn login CLI\"}\n",
         1, true},
        {"cancel", TOOL_NOT_STARTED, action_cancel,
         "Status: 200 OK\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"cancel_failed\",\"detail\":\"cannot spawn login CLI\"}\n",
         0, true},
        // Not found: absent, as before.
        {"start, tool not found", TOOL_NOT_FOUND, [] { return action_start(0); }, MISSING, 0, true},
        {"poll, tool not found", TOOL_NOT_FOUND, action_poll, MISSING, 0, true},
        {"cancel, tool not found: the marker is removed here", TOOL_NOT_FOUND, action_cancel,
         JSON_HEADER + "{\"ok\":true,\"state\":\"cancelled\",\"pending\":false,\"cli_present\":false}\n", 0, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        node_with_unstartable(LOGIN, "--status", c.status_run);
        EXPECT_EQ(c.action(), c.exit_code);
        EXPECT_EQ(fake_stdout(), c.response);
        // The action's own run is not tried, nor the token tool.
        EXPECT_EQ(options_run(), (std::vector<std::string>{"--status"}));
        EXPECT_EQ(fake_entry_exists("lumivane-default.json"), c.marker_kept ? 1 : 0);
    }
}

// One deadline for the whole request: the --status of the snapshot runs
// until it, and the action's own run, which would start past it, never
// starts and counts as timed out. The detail names the login tool, whose
// run spent the time, also when the run that never started was the token
// tool's.
TEST(ActionsOnFakePlatform, ARunPastTheRequestsDeadlineDoesNotStart) {
    const std::vector<std::string> login_only = {"--status"};
    struct Case {
        const char *why;
        int (*action)(void);
        std::string response;
        int exit_code;
        std::vector<std::string> runs;
    } cases[] = {
        {"start", [] { return action_start(0); },
         "Status: 504 Gateway Timeout\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"start_failed\",\"detail\":\"login CLI timed out\"}\n", 1, login_only},
        {"poll", action_poll,
         "Status: 504 Gateway Timeout\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"poll_failed\",\"detail\":\"login CLI timed out\"}\n", 1, login_only},
        {"cancel", action_cancel,
         "Status: 200 OK\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"cancel_failed\",\"detail\":\"login CLI timed out\"}\n", 0, login_only},
        {"refresh", action_refresh,
         "Status: 200 OK\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"refresh_failed\",\"detail\":\"login CLI timed out\"}\n", 1,
         {"--help", "--status"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        node_with_unstartable(LOGIN, "--status", TOOL_TIMED_OUT, "{\"ok\":true}");
        for (const char *option : {"--start", "--poll", "--cancel"}) fake_set_tool(LOGIN, option, TOOL_RAN, "{\"ok\":true}");
        fake_set_tool(TOKEN, "-local", TOOL_RAN, "{\"access_token\":\"t\"}");
        EXPECT_EQ(c.action(), c.exit_code);
        EXPECT_EQ(fake_stdout(), c.response);
        EXPECT_EQ(options_run(), c.runs);
        EXPECT_TRUE(fake_entry_exists("lumivane-default.json"));
    }
}

// Start, poll, cancel and refresh run under the node lock of the pending
// marker; status takes none. A request that waits for it past its
// deadline answers as its tool timing out and runs no tool at all; where
// the lock cannot be had, the request goes on without it.
TEST(ActionsOnFakePlatform, NodeLock) {
    const std::string DEVICE_CODE = JSON_HEADER +
                                    "{\"ok\":true,\"flow\":\"device_code\",\"verify_url\":\"https://v\","
                                    "\"user_code\":\"C\",\"expires_in\":900,\"interval\":5,\"pending\":true,"
                                    "\"provider\":\"lumivane\"}\n";
    struct Case {
        const char *why;
        NodeLock lock;
        int (*action)(void);
        bool locks;           // the action asks for the lock
        std::string response;  // empty: not compared
        int exit_code;
        size_t runs;          // tool runs
    } cases[] = {
        {"start, held", NODE_LOCK_HELD, [] { return action_start(0); }, true, DEVICE_CODE, 0, 2},
        {"start, timed out", NODE_LOCK_TIMED_OUT, [] { return action_start(0); }, true,
         "Status: 504 Gateway Timeout\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"start_failed\",\"detail\":\"login CLI timed out\"}\n", 1, 0},
        {"start, unavailable", NODE_LOCK_UNAVAILABLE, [] { return action_start(0); }, true, DEVICE_CODE, 0, 2},
        {"poll, timed out", NODE_LOCK_TIMED_OUT, action_poll, true,
         "Status: 504 Gateway Timeout\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"poll_failed\",\"detail\":\"login CLI timed out\"}\n", 1, 0},
        {"cancel, timed out", NODE_LOCK_TIMED_OUT, action_cancel, true,
         "Status: 200 OK\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"cancel_failed\",\"detail\":\"login CLI timed out\"}\n", 0, 0},
        {"poll, held", NODE_LOCK_HELD, action_poll, true, "", 0, 2},
        {"cancel, held", NODE_LOCK_HELD, action_cancel, true, "", 0, 4},
        {"status takes no lock", NODE_LOCK_TIMED_OUT, action_status, false, "", 0, 2},
        // A token tool that rotates its refresh token never runs twice at once.
        {"refresh, timed out", NODE_LOCK_TIMED_OUT, action_refresh, true,
         "Status: 200 OK\r\n" + JSON_HEADER +
             "{\"ok\":false,\"error\":\"refresh_failed\",\"detail\":\"token CLI timed out\"}\n", 1, 0},
        {"refresh, held", NODE_LOCK_HELD, action_refresh, true, "", 0, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        node_with_unstartable(LOGIN, "--start", TOOL_RAN, "{\"ok\":true,\"verify_url\":\"https://v\",\"user_code\":\"C\"}");
        fake_set_tool(LOGIN, "--poll", TOOL_RAN, "{\"ok\":true}");
        fake_set_tool(LOGIN, "--cancel", TOOL_RAN, "{\"ok\":true}");
        fake_set_tool(TOKEN, "-local", TOOL_RAN, "{\"access_token\":\"t\"}");
        fake_setenv("LUMIVANE_PENDING_PATH", "/srv/node/pending/marker.json");
        fake_set_node_lock(c.lock);
        EXPECT_EQ(c.action(), c.exit_code);
        if (!c.response.empty()) EXPECT_EQ(fake_stdout(), c.response);
        EXPECT_EQ(fake_command_log().size(), c.runs);
        EXPECT_EQ(fake_node_lock_log(), c.locks ? std::vector<std::string>{"/srv/node/pending/marker.json"}
                                                : std::vector<std::string>{});
        EXPECT_EQ(fake_node_lock_held(), 0);  // let go before the process ends
    }
}

}  // namespace
