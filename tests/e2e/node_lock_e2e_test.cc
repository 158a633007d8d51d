// Start, poll and cancel of one node run one at a time, on both targets:
// a second request waits for the one in progress (status does not), and a
// wait that outlasts the request's deadline answers as its tool timing out
// without running any. The first request's tool holds its run open until
// the case writes the file "release"; every run of the login tool notes
// itself in the file "order", so the order of the runs shows whether two
// requests interleaved.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdlib.h>

#include <chrono>
#include <thread>

#include "harness.h"

using e2e::Reply;
using e2e::Result;
using e2e::read_doc;
using e2e::World;
using e2e::NATIVE_SEP;
using e2e::Only;
using e2e::runs_here;
using e2e::sh_quote;
using e2e::ANY_TARGET;
using e2e::POSIX_ONLY;
using e2e::WINDOWS_ONLY;
using e2e::WINDOWS_TARGET;

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
            EXPECT_EQ(read_doc(*r).body.rfind("{\"ok\":true,", 0), 0u) << r->out;
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
    EXPECT_EQ(read_doc(r1).body.rfind("{\"ok\":true,\"flow\":\"device_code\"", 0), 0u) << r1.out;
    // The waiting requests ran no tool at all.
    EXPECT_EQ(w.runs("login"), (std::vector<std::string>{"--status", "--start"}));
    EXPECT_TRUE(w.runs("token").empty());
}

// A second request, with the first one holding its tool open and a
// limit of its own: whether it waited for the first one's lock (it then
// answers as its tool timing out and runs no tool) or went on.
struct Second {
    Result r;
    std::vector<std::string> login_runs, token_runs;  // the runs of both requests
};

Second second_request(World &w, std::future<Result> &first, const std::string &query,
                      const char *limit_sec = nullptr) {
    // Long enough for a request that does not wait to show it by its first
    // tool run: wine starts a process far more slowly.
    if (!limit_sec) limit_sec = WINDOWS_TARGET ? "5" : "1";
    w.env["LUMIVANE_TOOL_TIMEOUT"] = limit_sec;
    Second s;
    s.r = w.request(query);
    s.login_runs = w.runs("login");
    s.token_runs = w.runs("token");
    w.write("release", "");
    Result r1 = first.get();
    EXPECT_EQ(r1.exit_code, 0) << r1.out;
    return s;
}

// The first request's runs, and a second start that waited for its lock.
void expect_start_waited(const Second &s, const std::vector<std::string> &first_runs) {
    EXPECT_EQ(s.r.out.rfind("Status: 504 Gateway Timeout\r\n", 0), 0u) << s.r.out;
    EXPECT_EQ(s.login_runs, first_runs) << s.r.out;
}

// One marker has one lock whatever its spelling, and a tool that deletes
// and re-creates its state folder (the marker's folder) leaves it whole.
TEST(NodeLock, OneMarkerOneLockWhateverItsSpelling) {
    struct Case {
        const char *why;
        Only only;
        std::string (*second)(const World &);  // the second request's spelling of the marker
        bool recreates = false;                 // the first start's tool re-creates node/p
    } cases[] = {
        {"the same spelling, state folder re-created", ANY_TARGET,
         [](const World &w) { return w.native("node/p/m.json"); }, true},
        {"doubled separators", ANY_TARGET,
         [](const World &w) { return w.native("node") + NATIVE_SEP + NATIVE_SEP + "p" + NATIVE_SEP + "m.json"; }},
        {"a \".\" folder", ANY_TARGET,
         [](const World &w) { return w.native("node") + NATIVE_SEP + "." + NATIVE_SEP + "p" + NATIVE_SEP + "m.json"; }},
        {"a \"..\"", ANY_TARGET,
         [](const World &w) { return w.native("node/x") + NATIVE_SEP + ".." + NATIVE_SEP + "p" + NATIVE_SEP + "m.json"; }},
        {"relative to the working directory", POSIX_ONLY, [](const World &) { return std::string("node/p/m.json"); }},
        {"through a link to the folder", POSIX_ONLY, [](const World &w) { return w.path("alias/p/m.json"); }},
        {"the \\\\?\\ prefix", WINDOWS_ONLY, [](const World &w) { return "\\\\?\\" + w.native("node/p/m.json"); }},
        {"forward slashes", WINDOWS_ONLY,
         [](const World &w) {
             std::string p = w.native("node/p/m.json");
             for (char &c : p) c = c == '\\' ? '/' : c;
             return p;
         }},
        {"another case", WINDOWS_ONLY,
         [](const World &w) {
             std::string p = w.native("node/p/m.json");
             p[0] = (char)(p[0] - 'A' + 'a');
             return p.substr(0, p.size() - 6) + "M.JSON";
         }},
    };
    for (const auto &c : cases) {
        if (!runs_here(c.only)) continue;
        SCOPED_TRACE(c.why);
        World w;
        node_with_noting_tools(w);
        w.write("node/p/.keep", "");
        w.write("node/x/.keep", "");
        if (!WINDOWS_TARGET) EXPECT_EQ(symlink(w.path("node").c_str(), w.path("alias").c_str()), 0);
        if (c.recreates) {
            w.login_tool({
                {"--status", Reply("{\"ok\":true}\n")},
                {"--start", noting(DEVICE_CODE, "rm -rf node/p && mkdir -p node/p && echo start >> order; " +
                                                    AWAIT_RELEASE)},
            });
        }
        w.env["LUMIVANE_PENDING_PATH"] = w.native("node/p/m.json");
        std::future<Result> first = w.request_in_background("action=start");
        ASSERT_TRUE(wait_for_line(w, "start")) << w.read("order");
        w.env["LUMIVANE_PENDING_PATH"] = c.second(w);
        Second s = second_request(w, first, "action=start");
        expect_start_waited(s, {"--status", "--start"});
    }
}

// Two nodes whose markers lie in one folder have a lock each: the second
// starts while the first one's tool still holds its run.
TEST(NodeLock, MarkersInOneFolderDoNotWaitOnEachOther) {
    World w;
    node_with_noting_tools(w);
    w.write("shared/.keep", "");
    w.env["LUMIVANE_PENDING_PATH"] = w.native("shared/a.json");
    std::future<Result> first = w.request_in_background("action=start");
    ASSERT_TRUE(wait_for_line(w, "start")) << w.read("order");
    w.env["LUMIVANE_PENDING_PATH"] = w.native("shared/b.json");
    w.env["LUMIVANE_LOGIN_BIN"] = w.tool("other", {{"--status", Reply("{\"ok\":true}\n")}, {"--start", Reply(DEVICE_CODE)}});
    // Room for its own two tool runs (slow under wine); were it to wait
    // for the first one's lock, it would answer as timed out at the end.
    Second s = second_request(w, first, "action=start", "20");
    EXPECT_EQ(read_doc(s.r).body.rfind("{\"ok\":true,\"flow\":\"device_code\"", 0), 0u) << s.r.out;
    EXPECT_EQ(w.runs("other"), (std::vector<std::string>{"--status", "--start"}));
}

// Refresh holds the lock as the flow's steps do: a token tool that rotates
// its refresh token never runs twice at once, nor beside a poll.
TEST(NodeLock, RefreshNeverOverlapsARefreshOrAPoll) {
    struct Case {
        const char *first, *holds, *second;
        std::string response;  // the second's whole answer
        std::vector<std::string> login_runs, token_runs;  // both requests' runs
    } cases[] = {
        {"action=refresh", "refresh", "action=refresh",
         "Status: 200 OK\r\n" + std::string(e2e::JSON_HEADER) +
             "{\"ok\":false,\"error\":\"refresh_failed\",\"detail\":\"token CLI timed out\"}\n",
         {"--status"}, {"--help", "-local"}},
        {"action=poll", "poll", "action=refresh",
         "Status: 200 OK\r\n" + std::string(e2e::JSON_HEADER) +
             "{\"ok\":false,\"error\":\"refresh_failed\",\"detail\":\"token CLI timed out\"}\n",
         {"--status", "--poll"}, {}},  // a poll asks nothing of the token tool
        {"action=refresh", "refresh", "action=poll",
         "Status: 504 Gateway Timeout\r\n" + std::string(e2e::JSON_HEADER) +
             "{\"ok\":false,\"error\":\"poll_failed\",\"detail\":\"login CLI timed out\"}\n",
         {"--status"}, {"--help", "-local"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.first) + " then " + c.second);
        World w;
        node_with_noting_tools(w);
        w.token_tool({{"--help", Reply("usage\n")},
                      {"-local", noting("{\"access_token\":\"t\",\"expires_at\":4102444800}\n",
                                        "echo refresh >> order; " + AWAIT_RELEASE)}});
        w.write("home/.config/lumivane/auth.json", "{\"access_token\":\"t\",\"expires_at\":4102444800}");
        w.env["LUMIVANE_CREDS_PATH"] = w.native("home/.config/lumivane/auth.json");
        w.env["LUMIVANE_PENDING_PATH"] = w.native("node/p/m.json");
        std::future<Result> first = w.request_in_background(c.first);
        ASSERT_TRUE(wait_for_line(w, c.holds)) << w.read("order");
        Second s = second_request(w, first, c.second);
        EXPECT_EQ(s.r.out, c.response);
        EXPECT_EQ(s.login_runs, c.login_runs);
        EXPECT_EQ(s.token_runs, c.token_runs);
    }
}

// The names in a folder of this machine, "." and ".." left out.
std::vector<std::string> names_in(const std::string &dir) {
    std::vector<std::string> names;
    if (DIR *d = opendir(dir.c_str())) {
        while (dirent *e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    return names;
}

// While a request holds the lock, its file is the user's own, 0600, in a
// 0700 folder of the program's own; a link put where that folder goes is
// not followed (the temporary folder is used instead). The file goes with
// the request.
TEST(NodeLock, ItsFileIsPrivateAndGoesWithTheRequest) {
    E2E_POSIX_ONLY("a lock file; Windows uses a mutex");
    struct Case {
        const char *why;
        bool link;  // $HOME/.plugin_lumivane_login is a link to "elsewhere"
    } cases[] = {{"in the home", false}, {"a link in its place", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        node_with_noting_tools(w);
        w.env["HOME"] = w.dir;
        w.write("tmp/.keep", "");
        chmod(w.path("tmp").c_str(), 01777);
        w.env["TMPDIR"] = w.path("tmp");
        w.env["LUMIVANE_PENDING_PATH"] = w.path("node/p/m.json");
        if (c.link) {
            w.write("elsewhere/.keep", "");
            ASSERT_EQ(symlink(w.path("elsewhere").c_str(), w.path(".plugin_lumivane_login").c_str()), 0);
        }
        std::string folder = c.link ? w.path("tmp/plugin_lumivane_login-" + std::to_string(geteuid()))
                                    : w.path(".plugin_lumivane_login");
        std::future<Result> first = w.request_in_background("action=start");
        ASSERT_TRUE(wait_for_line(w, "start")) << w.read("order");
        std::vector<std::string> held = names_in(folder);
        struct stat folder_st = {}, file_st = {};
        EXPECT_EQ(lstat(folder.c_str(), &folder_st), 0);
        ASSERT_EQ(held.size(), 1u);
        EXPECT_EQ(held[0].rfind("lumivane-node-", 0), 0u) << held[0];
        EXPECT_EQ(lstat((folder + "/" + held[0]).c_str(), &file_st), 0);
        w.write("release", "");
        Result r = first.get();
        EXPECT_EQ(read_doc(r).body.rfind("{\"ok\":true,\"flow\":\"device_code\"", 0), 0u) << r.out;
        EXPECT_TRUE(S_ISDIR(folder_st.st_mode));
        EXPECT_EQ(folder_st.st_mode & 07777, 0700u);
        EXPECT_TRUE(S_ISREG(file_st.st_mode));
        EXPECT_EQ(file_st.st_mode & 07777, 0600u);
        EXPECT_EQ(file_st.st_uid, geteuid());
        EXPECT_EQ(names_in(folder), std::vector<std::string>{});
        EXPECT_EQ(names_in(w.path("elsewhere")), c.link ? std::vector<std::string>{".keep"} : std::vector<std::string>{});
    }
}

// Another local user (nobody) holds what they can reach of the node: the
// marker's folder, its nearest existing parent before the first login, or
// a lock folder they made first in a shared temporary folder. The node
// goes on as if they were not there.
TEST(NodeLock, AnotherLocalUserCannotHoldIt) {
    E2E_POSIX_ONLY("a second local user through runuser");
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as nobody";
    struct Case {
        const char *why;
        const char *made;  // the node's folder made beforehand, or null
        std::string holds;  // a shell command nobody runs in the world, holding it until "done"
    } cases[] = {
        {"an flock on the marker's folder", "node/p", "flock -n node/p"},
        {"an flock on its nearest parent before the first login", "node", "flock -n node"},
        {"a lock folder made first in the shared temporary folder", nullptr,
         "mkdir -m 0777 tmp/plugin_lumivane_login-0 && flock -n tmp/plugin_lumivane_login-0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        node_with_noting_tools(w);
        w.write("release", "");
        // A home others may enter, as most are, and a sticky temporary folder.
        chmod(w.dir.c_str(), 0755);
        if (c.made) {
            w.write(std::string(c.made) + "/.keep", "");
            chmod(w.path(c.made).c_str(), 0755);
        }
        w.write("tmp/.keep", "");
        chmod(w.path("tmp").c_str(), 01777);
        w.env["TMPDIR"] = w.path("tmp");
        w.env["LUMIVANE_PENDING_PATH"] = w.path("node/p/m.json");
        w.env["LUMIVANE_TOOL_TIMEOUT"] = "2";
        std::string cmd = "cd " + sh_quote(w.dir) + " && runuser -u nobody -- sh -c " +
                          sh_quote(c.holds + " sh -c ': > tmp/held; i=0; while [ ! -e tmp/done ] && [ $i -lt 600 ]; "
                                             "do sleep 0.1; i=$((i+1)); done'");
        std::future<int> other = std::async(std::launch::async, [cmd] { return std::system(cmd.c_str()); });
        bool held = false;
        for (int i = 0; i < BEGIN_WAIT_SEC * 20 && !held; i++) {
            held = w.exists("tmp/held");
            if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        Result r = held ? w.request("action=start") : Result{};
        w.write("tmp/done", "");
        EXPECT_EQ(other.get(), 0);
        ASSERT_TRUE(held) << "nobody could not take what the case gives them";
        EXPECT_EQ(read_doc(r).body.rfind("{\"ok\":true,\"flow\":\"device_code\"", 0), 0u) << r.out;
        EXPECT_EQ(w.runs("login"), (std::vector<std::string>{"--status", "--start"}));
    }
}

}  // namespace
