// Start, poll and cancel of one node run one at a time, on both targets:
// a second request waits for the one in progress (status does not), and a
// wait that outlasts the request's deadline answers as its tool timing out
// without running any. The first request's tool holds its run open until
// the case writes the file "release"; every run of the login tool notes
// itself in the file "order", so the order of the runs shows whether two
// requests interleaved.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "harness.h"

using e2e::Reply;
using e2e::Result;
using e2e::World;
using e2e::body;

namespace {

// Long enough for a second request that was not made to wait to show it
// (its --status notes itself at once); not a measure of speed.
constexpr auto SECOND_REQUEST_SHOWS = std::chrono::milliseconds(1500);
// How long a case waits for the first request's tool to begin.
constexpr int BEGIN_WAIT_SEC = 60;

const std::string DEVICE_CODE = "{\"ok\":true,\"verify_url\":\"https://v/x\",\"user_code\":\"AB-CD\"}\n";

// A shell command that waits for the file "release" (at most a minute).
const std::string AWAIT_RELEASE =
    "i=0; while [ ! -e release ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done";

Reply noting(const std::string &out, const std::string &before) { return Reply(out, 0, "", before); }

// A node whose login tool notes each run in "order"; --start and --poll
// hold their run until "release".
void node_with_noting_tools(World &w) {
    w.login_tool({
        {"--status", noting("{\"ok\":true}\n", "echo status >> order")},
        {"--start", noting(DEVICE_CODE, "echo start >> order; " + AWAIT_RELEASE + "; echo start-done >> order")},
        {"--poll", noting("{\"ok\":true,\"state\":\"pending\"}\n",
                          "echo poll >> order; " + AWAIT_RELEASE + "; echo poll-done >> order")},
        {"--cancel", noting("{\"ok\":true}\n", "echo cancel >> order")},
    });
    w.token_tool({{"--help", Reply("usage\n")}});
}

// Waits until "order" holds the line `line`.
bool wait_for_line(const World &w, const std::string &line) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(BEGIN_WAIT_SEC);
    while (std::chrono::steady_clock::now() < until) {
        if (("\n" + w.read("order")).find("\n" + line + "\n") != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(NodeLock, OneFlowStepAtATime) {
    struct Case {
        const char *why;
        const char *first, *holds;  // the first request, and the run that holds it
        const char *second;
        bool second_waits;
        const char *order;
    } cases[] = {
        {"a cancel during a start", "action=start", "start", "action=cancel", true,
         "status\nstart\nstart-done\nstatus\ncancel\nstatus\n"},
        {"two starts", "action=start", "start", "action=start", true,
         "status\nstart\nstart-done\nstatus\nstart\nstart-done\n"},
        {"a cancel during a poll", "action=poll", "poll", "action=cancel", true,
         "status\npoll\npoll-done\nstatus\ncancel\nstatus\n"},
        {"a poll during a start", "action=start", "start", "action=poll", true,
         "status\nstart\nstart-done\nstatus\npoll\npoll-done\n"},
        // The status changes nothing and takes no lock.
        {"a status during a start", "action=start", "start", "action=status", false,
         "status\nstart\nstatus\nstart-done\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        node_with_noting_tools(w);
        std::future<Result> first = w.request_in_background(c.first);
        ASSERT_TRUE(wait_for_line(w, c.holds)) << w.read("order");
        std::future<Result> second = w.request_in_background(c.second);
        if (c.second_waits) {
            std::this_thread::sleep_for(SECOND_REQUEST_SHOWS);
        } else {
            second.wait();
        }
        w.write("release", "");
        Result r1 = first.get(), r2 = second.get();
        EXPECT_EQ(w.read("order"), c.order);
        for (const Result *r : {&r1, &r2}) {
            EXPECT_EQ(r->exit_code, 0) << r->out;
            EXPECT_EQ(r->err, "");
            EXPECT_EQ(body(*r).rfind("{\"ok\":true,", 0), 0u) << r->out;
        }
    }
}

TEST(NodeLock, AWaitPastTheDeadlineAnswersAsATimeout) {
    World w;
    node_with_noting_tools(w);
    std::future<Result> first = w.request_in_background("action=start");
    ASSERT_TRUE(wait_for_line(w, "start")) << w.read("order");
    w.env["LUMIVANE_TOOL_TIMEOUT"] = "1";
    struct Case {
        const char *query;
        std::string response;
        int exit_code;
    } cases[] = {
        {"action=start", "Status: 504 Gateway Timeout\r\n" + std::string(e2e::JSON_HEADER) +
                             "{\"ok\":false,\"error\":\"start_failed\",\"detail\":\"login CLI timed out\"}\n", 1},
        {"action=poll", "Status: 504 Gateway Timeout\r\n" + std::string(e2e::JSON_HEADER) +
                            "{\"ok\":false,\"error\":\"poll_failed\",\"detail\":\"login CLI timed out\"}\n", 1},
        {"action=cancel", "Status: 200 OK\r\n" + std::string(e2e::JSON_HEADER) +
                              "{\"ok\":false,\"error\":\"cancel_failed\",\"detail\":\"login CLI timed out\"}\n", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query);
        Result r = w.request(c.query);
        EXPECT_EQ(r.out, c.response);
        EXPECT_EQ(r.exit_code, c.exit_code);
    }
    w.write("release", "");
    Result r1 = first.get();
    EXPECT_EQ(body(r1).rfind("{\"ok\":true,\"flow\":\"device_code\"", 0), 0u) << r1.out;
    // The waiting requests ran no tool at all.
    EXPECT_EQ(w.runs("login"), (std::vector<std::string>{"--status", "--start"}));
    EXPECT_TRUE(w.runs("token").empty());
}

// POSIX: the lock is an flock on the marker's directory, or on its nearest
// existing parent while the directory is not there yet. The case holds
// such a lock itself and sees whether a start waits for it.
TEST(NodeLock, PosixLocksTheMarkersDirectoryOrItsNearestParent) {
    E2E_POSIX_ONLY("flock on a directory; Windows names a mutex after the path");
    struct Case {
        const char *why;
        const char *marker;  // LUMIVANE_PENDING_PATH relative to the world, or null: the default
        const char *made;    // the directory made beforehand, or null
        const char *locked;  // what the case locks, relative to the world ("" is the world itself)
        bool waits;
    } cases[] = {
        {"the marker's directory", "node/pending/m.json", "node/pending", "node/pending", true},
        {"its nearest parent while it is not there", "node/pending/m.json", "node", "node", true},
        {"not a parent above the marker's directory", "node/pending/m.json", "node/pending", "node", false},
        {"the working directory for the default marker", nullptr, nullptr, "", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        node_with_noting_tools(w);
        w.write("release", "");
        w.env["LUMIVANE_TOOL_TIMEOUT"] = "1";
        if (c.marker) w.env["LUMIVANE_PENDING_PATH"] = w.path(c.marker);
        if (c.made) w.write(std::string(c.made) + "/.keep", "");
        int fd = open(w.path(c.locked).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
        Result r = w.request("action=start");
        Result status = w.request("action=status");
        close(fd);
        EXPECT_EQ(body(status).rfind("{\"ok\":true,", 0), 0u) << status.out;
        if (c.waits) {
            EXPECT_EQ(r.out.rfind("Status: 504 Gateway Timeout\r\n", 0), 0u) << r.out;
            EXPECT_EQ(w.runs("login"), std::vector<std::string>{"--status"});  // the status request's only
        } else {
            EXPECT_EQ(body(r).rfind("{\"ok\":true,\"flow\":\"device_code\"", 0), 0u) << r.out;
        }
    }
}

}  // namespace
