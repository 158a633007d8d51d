// The tool bridge end to end, on both targets: a tool's command is one
// program that is started directly, its bytes never interpreted (or
// nothing is run at all), how "not found" is told, and that
// the captured bytes are the tool's own. The status action shows it all:
// cli_present / cli_error for the login tool, token_cli_present for the
// token tool probe.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <time.h>

#include "harness.h"

using e2e::Reply;
using e2e::Result;
using e2e::read_doc;
using e2e::World;

namespace {

const char STATUS_LINE[] = "{\"ok\":true,\"account\":\"acme\"}";

enum Outcome {
    RUNS,       // the tool ran with "--status" and its line was read
    REFUSED,    // nothing was started: cli_spawn_failed
    ATTEMPTED,  // looked for (no tool is there to run)
};

TEST(ToolCommand, TheCommandIsOneUninterpretedWord) {
    struct Case {
        const char *why;
        std::string name;  // a stand-in of this name is created and used
        Outcome posix, windows;
    } cases[] = {
        {"plain", "login", RUNS, RUNS},
        {"spaces", "my login tool", RUNS, RUNS},
        {"single quote", "it's", RUNS, RUNS},
        {"cmd and shell operators stay literal", "a&b|c(d)^e<f>g;h$i`j!k", RUNS, RUNS},
        // An .exe starts directly: no cmd.exe ever reads its path.
        {"percent in an .exe path", "100%login%", RUNS, RUNS},
        {"percent alone", "%", RUNS, RUNS},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        std::string name = c.name;
        if (e2e::WINDOWS_TARGET) {
            // Not in a Windows file name; the cmd refusals are covered below.
            for (char &ch : name) {
                if (ch == '|' || ch == '<' || ch == '>') ch = '_';
            }
        }
        w.env["LUMIVANE_LOGIN_BIN"] = w.tool(name, {{"--status", Reply(STATUS_LINE)}});
        Result r = w.request("action=status");
        Outcome expect = e2e::WINDOWS_TARGET ? c.windows : c.posix;
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        if (expect == RUNS) {
            EXPECT_TRUE(read_doc(r).has("\"account\":\"acme\"")) << r.out;
            EXPECT_TRUE(read_doc(r).has("\"cli_present\":true")) << r.out;
            EXPECT_EQ(w.runs(name), std::vector<std::string>{"--status"});
        } else {
            EXPECT_TRUE(read_doc(r).has("\"cli_present\":false,")) << r.out;
            EXPECT_TRUE(read_doc(r).has("\"cli_error\":\"cli_spawn_failed\"")) << r.out;
            EXPECT_TRUE(w.runs(name).empty());
        }
    }
}

TEST(ToolCommand, CommandsThatCannotBeWrittenAsOneWord) {
    // The whole text is one program's path: what follows the tool's name
    // is never an option nor a variable, and names a program that is not
    // there. (Windows refuses most of these bytes in a file name.)
    struct Case {
        const char *why;
        std::string suffix;  // appended to a tool that exists
        const char *windows_error;
    } cases[] = {
        {"double quote and an option", "\" --evil", "cli_spawn_failed"},
        {"percent variable", "%PATH%", "cli_not_found"},
        {"line feed", "\n", "cli_spawn_failed"},
        {"carriage return", "\r", "cli_spawn_failed"},
        {"tab", "\t", "cli_spawn_failed"},
        {"escape byte", "\x1b", "cli_spawn_failed"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        std::string tool = w.tool("login", {{"--status", Reply(STATUS_LINE)}});
        w.env["LUMIVANE_LOGIN_BIN"] = tool + c.suffix;
        w.env["LUMIVANE_TOKEN_BIN"] = w.tool("token", {{"--help", Reply("usage")}}) + c.suffix;
        Result r = w.request("action=status");
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(read_doc(r).has("\"cli_present\":false,")) << r.out;
        EXPECT_TRUE(read_doc(r).has("\"token_cli_present\":false,")) << r.out;
        // The stand-ins exist under the unchanged names: nothing may reach them.
        EXPECT_TRUE(w.runs("login").empty());
        EXPECT_TRUE(w.runs("token").empty());
        if (e2e::WINDOWS_TARGET) {
            EXPECT_TRUE(read_doc(r).has(std::string("\"cli_error\":\"") + c.windows_error + "\"")) << r.out;
        } else {
            // A file of that name does not exist.
            EXPECT_TRUE(read_doc(r).has("\"cli_error\":\"cli_not_found\"")) << r.out;
        }
    }
}

TEST(ToolCommand, LengthLimitOfTheCommand) {
    // A command holds at most 509 bytes on both targets; a longer one is
    // refused whole rather than cut into another name.
    struct Case {
        size_t length;
        bool refused;
    } cases[] = {{509, false}, {510, true}, {600, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.length);
        World w;
        w.env["LUMIVANE_LOGIN_BIN"] = std::string(c.length, 'n');  // no such program
        Result r = w.request("action=status");
        EXPECT_EQ(r.exit_code, 0);
        if (c.refused) {
            EXPECT_TRUE(read_doc(r).has("\"cli_error\":\"cli_spawn_failed\"")) << r.out;
        } else {
            EXPECT_FALSE(read_doc(r).has("\"cli_error\":\"cli_spawn_failed\"")) << r.out;
        }
    }
}

TEST(ToolCommand, MissingToolsAreNotFound) {
    // Not found by its path or on the search path: "not installed".
    struct Case {
        const char *why;
        bool default_names;
    } cases[] = {{"absent path", false}, {"default names, not on the search path", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        if (!c.default_names) {
            w.env["LUMIVANE_LOGIN_BIN"] = w.native("bin/absent-login");
            w.env["LUMIVANE_TOKEN_BIN"] = w.native("bin/absent-token");
        }
        Result r = w.request("action=status");
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_TRUE(read_doc(r).has("\"cli_present\":false,\"token_cli_present\":false,")) << r.out;
        EXPECT_TRUE(read_doc(r).has("\"cli_error\":\"cli_not_found\"")) << r.out;

        Result start = w.request("action=start");
        EXPECT_NE(start.out.find("\"error\":\"cli_unavailable\""), std::string::npos) << start.out;
    }
}

TEST(ToolCommand, CapturedBytesAreTheToolsOwn) {
    struct Case {
        const char *why;
        Reply reply;
        const char *account;  // expected "account" member
    } cases[] = {
        {"CR LF lines and trailing blank lines", Reply("noise\r\n{\"ok\":true,\"account\":\"crlf\"}\r\n\r\n  \r\n"), "crlf"},
        // A text-mode pipe would end the output at the Ctrl-Z byte.
        {"a Ctrl-Z byte before the line", Reply("a\x1a\r\n{\"ok\":true,\"account\":\"after-ctrl-z\"}\r\n"), "after-ctrl-z"},
        {"exit status 1 and standard error", Reply("{\"ok\":true,\"account\":\"failed-run\"}\n", 1, "oops\r\n"), "failed-run"},
        {"a later non-JSON line", Reply("{\"ok\":true,\"account\":\"last\"}\r\ndone\r\n"), "last"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        w.login_tool({{"--status", c.reply}});
        Result r = w.request("action=status");
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");  // the tool's standard error is discarded
        EXPECT_TRUE(read_doc(r).has(std::string("\"account\":\"") + c.account + "\"")) << r.out;
        EXPECT_TRUE(read_doc(r).has("\"cli_present\":true")) << r.out;
    }
}

TEST(ToolCommand, StartPassesBothOptionsUnquoted) {
    World w;
    w.login_tool({{"--status", Reply("{\"ok\":true}")},
                  {"--start --force", Reply("{\"ok\":true,\"verify_url\":\"https://v/x\",\"user_code\":\"AB-CD\"}\r\n")}});
    w.token_tool({{"--help", Reply("usage")}});
    Result r = w.request("action=start&force=1");
    EXPECT_EQ(r.out, std::string(e2e::JSON_HEADER) +
                         "{\"ok\":true,\"flow\":\"device_code\",\"verify_url\":\"https://v/x\",\"user_code\":\"AB-CD\","
                         "\"expires_in\":900,\"interval\":5,\"pending\":true,\"provider\":\"lumivane\"}\n");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(w.runs("login"), (std::vector<std::string>{"--status", "--start --force"}));
    EXPECT_TRUE(w.runs("token").empty());
}

}  // namespace

namespace {

TEST(ToolCommand, PollDoneReadsWhatTheToolJustWrote) {
    // The tool writes the credentials file during the run; the done answer
    // is collected from disk afterwards.
    World w;
    w.env["USERPROFILE"] = w.native_dir();
    Reply done = Reply("{\"ok\":true,\"state\":\"done\"}\r\n");
    done.before = "mkdir -p .config/lumivane && printf '%s' '{\"access_token\":\"t\",\"org_id\":\"org-9\"}' "
                  "> .config/lumivane/auth.json";
    w.login_tool({{"--status", Reply("{\"ok\":true}")}, {"--poll", done}});
    Result r = w.request("action=poll");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out.rfind(std::string(e2e::JSON_HEADER) + "{\"ok\":true,\"state\":\"done\",\"provider\":\"lumivane\","
                          "\"logged_in\":true,\"username\":\"org-9\"", 0), 0u) << r.out;
    EXPECT_EQ(w.runs("login"), (std::vector<std::string>{"--status", "--poll", "--status"}));
}

}  // namespace

namespace {

// What used to need the shell or cmd.exe still runs as it did: a script
// without "#!" through /bin/sh; .cmd and .bat files (npm's shims) through
// cmd.exe, found on PATH through PATHEXT; and a wrapper whose inner
// command is missing still reads as not installed.
TEST(ToolCommand, ScriptsRunAsTheShellOrCmdRanThem) {
    struct Case {
        const char *why;
        e2e::Only only;
        std::string file;     // written in bin/, executable
        std::string content;
        bool bare;            // the command is the bare name (bin/ on PATH)
        std::string pathext;  // PATHEXT, or unset when empty
        const char *cli_error;  // null: it ran and answered "scripted"
    } cases[] = {
        {"a script without #!", e2e::POSIX_ONLY, "nohashbang", "echo '{\"ok\":true,\"account\":\"scripted\"}'\n",
         false, "", nullptr},
        {"a script without #! found on PATH", e2e::POSIX_ONLY, "nohashbang",
         "echo '{\"ok\":true,\"account\":\"scripted\"}'\n", true, "", nullptr},
        {"a wrapper whose inner command is missing", e2e::POSIX_ONLY, "wrapper",
         "#!/bin/sh\nexec lumivane-no-such-inner-tool \"$@\"\n", false, "", "cli_not_found"},
        {".cmd found through the default PATHEXT", e2e::WINDOWS_ONLY, "login.cmd",
         "@echo {\"ok\":true,\"account\":\"scripted\"}\r\n", true, "", nullptr},
        {".cmd found through a PATHEXT that lists it", e2e::WINDOWS_ONLY, "login.cmd",
         "@echo {\"ok\":true,\"account\":\"scripted\"}\r\n", true, ".EXE;.CMD", nullptr},
        {".bat by its path", e2e::WINDOWS_ONLY, "login.bat", "@echo {\"ok\":true,\"account\":\"scripted\"}\r\n",
         false, "", nullptr},
        {".cmd whose inner command is missing (9009)", e2e::WINDOWS_ONLY, "login.cmd",
         "@lumivane-no-such-inner-tool %*\r\n", false, "", "cli_not_found"},
        {".cmd with '%' in its path is not run", e2e::WINDOWS_ONLY, "100%login%.cmd",
         "@echo {\"ok\":true,\"account\":\"scripted\"}\r\n", false, "", "cli_spawn_failed"},
    };
    for (const auto &c : cases) {
        if (!e2e::runs_here(c.only)) continue;
        SCOPED_TRACE(c.why);
        World w;
        w.write("bin/" + c.file, c.content);
        chmod(w.path("bin/" + c.file).c_str(), 0755);
        std::string bin = w.native("bin");
        if (c.bare) {
            std::string name = c.file.substr(0, c.file.find('.'));
            w.env["PATH"] = bin + (e2e::WINDOWS_TARGET ? ";" : ":") + w.env["PATH"];
            w.env["LUMIVANE_LOGIN_BIN"] = name;
        } else {
            w.env["LUMIVANE_LOGIN_BIN"] = w.native("bin/" + c.file);
        }
        if (!c.pathext.empty()) w.env["PATHEXT"] = c.pathext;
        Result r = w.request("action=status");
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        if (!c.cli_error) {
            EXPECT_TRUE(read_doc(r).has("\"account\":\"scripted\"")) << r.out;
            EXPECT_TRUE(read_doc(r).has("\"cli_present\":true")) << r.out;
        } else {
            EXPECT_TRUE(read_doc(r).has("\"cli_present\":false")) << r.out;
            EXPECT_TRUE(read_doc(r).has(std::string("\"cli_error\":\"") + c.cli_error + "\"")) << r.out;
        }
    }
}

}  // namespace

namespace {

// Only a login tool that is not found is absent. One that is there but
// cannot be started (a file without the right to run, a .cmd that cmd.exe
// would misread, a plugin left no descriptor to give it) makes start and
// poll answer as their own run failing to start, and cancel answer
// cancel_failed, leaving the marker to the tool.
TEST(ToolCommand, AToolThatCannotStartIsNotAMissingOne) {
    const std::string header = e2e::JSON_HEADER;
    struct Way {
        const char *why;
        bool runnable;         // the tool itself could run
        int descriptor_limit;  // the host's limit on the plugin's descriptors, 0: none
        e2e::Only only;
    } ways[] = {
        {"a tool that may not be run", false, 0, e2e::ANY_TARGET},
        // One beyond standard input, output and error: enough for the
        // program to be loaded, and then taken by the node lock or the
        // token probe, so that none is left for the login tool's null
        // device and pipe.
        {"no free descriptors", true, 4, e2e::POSIX_ONLY},
    };
    struct Case {
        const char *query;
        std::string response;
        int exit_code;
    } cases[] = {
        {"action=start", "Status: 500 Internal Server Error\r\n" + header +
                             "{\"ok\":false,\"error\":\"start_failed\",\"detail\":\"cannot spawn login CLI\"}\n", 1},
        {"action=poll", "Status: 500 Internal Server Error\r\n" + header +
                            "{\"ok\":false,\"error\":\"poll_failed\",\"detail\":\"cannot spawn login CLI\"}\n", 1},
        {"action=cancel", "Status: 200 OK\r\n" + header +
                              "{\"ok\":false,\"error\":\"cancel_failed\",\"detail\":\"cannot spawn login CLI\"}\n", 0},
    };
    for (const auto &way : ways) {
        if (!e2e::runs_here(way.only)) continue;
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(way.why) + ", " + c.query);
            World w;
            if (way.runnable) {
                w.login_tool({{"--status", Reply("{\"ok\":true}")}}, Reply("{\"ok\":true}"));
            } else {
                const std::string tool = e2e::WINDOWS_TARGET ? "bin/100%login%.cmd" : "bin/login";
                w.write(tool, e2e::WINDOWS_TARGET ? "@echo {\"ok\":true}\r\n" : "#!/bin/sh\necho '{\"ok\":true}'\n");
                chmod(w.path(tool).c_str(), 0644);  // POSIX: not to be run
                w.env["LUMIVANE_LOGIN_BIN"] = w.native(tool);
            }
            w.token_tool({{"--help", Reply("usage")}});
            w.host_descriptor_limit = way.descriptor_limit;
            w.write("lumivane-default.json", "{\"created\":" + std::to_string((long long)time(nullptr)) + "}");
            Result r = w.request(c.query);
            EXPECT_EQ(r.out, c.response);
            EXPECT_EQ(r.exit_code, c.exit_code);
            EXPECT_TRUE(w.exists("lumivane-default.json"));
            Result status = w.request("action=status");
            EXPECT_TRUE(read_doc(status).has("\"cli_error\":\"cli_spawn_failed\"")) << status.out;
            if (way.runnable) EXPECT_TRUE(w.runs("login").empty());
        }
    }
}

}  // namespace
