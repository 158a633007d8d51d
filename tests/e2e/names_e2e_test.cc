// Names that are not ASCII, and long paths, end to end on both targets. A
// Windows host hands the plugin its environment in UTF-16 whatever the
// machine's ANSI code page; the plugin must reach the files and tools that
// those names give, and say the names back as they are. Under wine every
// row runs at code page 1252 (Western) and again at 1251 (Cyrillic), where
// a name that goes through the code page loses its letters; natively each
// row runs once, with the same names as UTF-8 bytes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <time.h>

#include <functional>
#include <string>
#include <vector>

#include "harness.h"

using e2e::Reply;
using e2e::Result;
using e2e::read_doc;
using e2e::World;
using e2e::pending_marker;

namespace {

const char TOKENS[] = "{\"access_token\":\"a\",\"refresh_token\":\"r\"}";
const char STATUS_LINE[] = "{\"ok\":true,\"account\":\"acme\"}";

// Every row runs at each of these ANSI code pages under wine.
std::vector<int> code_pages() { return e2e::WINDOWS_TARGET ? std::vector<int>{1252, 1251} : std::vector<int>{0}; }


// The world-relative directory `rel`, made so long by further folders
// that the plugin's form of rel + "/" + file (of rel alone when file is
// empty) is exactly `chars` characters, or `bytes` bytes when bytes is set
// (the folders are then Cyrillic, two bytes a letter). Every folder name
// stays far below the systems' limit of 255.
std::string padded_dir(const World &w, std::string rel, const std::string &file, size_t chars, size_t bytes = 0) {
    auto length = [&]() {
        std::string p = w.native(file.empty() ? rel : rel + "/" + file);
        if (bytes) return p.size();
        size_t n = 0;
        for (unsigned char c : p) n += (c & 0xC0) != 0x80;
        return n;
    };
    size_t goal = bytes ? bytes : chars;
    for (size_t now = length(); now < goal; now = length()) {
        size_t room = goal - now;
        if (room > 101) {  // a folder of 50 letters and its separator
            std::string part;
            for (int i = 0; i < 50; i++) part += bytes ? "ж" : "x";
            rel += "/" + part;
        } else if (room >= 2) {
            rel += "/" + std::string(room - 1, 'y');
        } else {
            rel += "z";  // the last folder one letter longer
        }
    }
    return rel;
}

std::string dir_of(const std::string &rel) { return rel.substr(0, rel.rfind('/')); }

TEST(NonAsciiNames, TheSignInFilesAreFound) {
    // The credentials file, the pending marker and the profile marker
    // where a home directory or LUMIVANE_CREDS_PATH with such a name puts
    // them; the status document's path says the name as it is.
    struct Case {
        const char *why;
        // Below the world's directory, '/'-separated. home is USERPROFILE;
        // creds, when set, is LUMIVANE_CREDS_PATH.
        std::function<std::string(const World &)> home, creds;
        bool profile_beside_creds;  // else under the home directory
    } cases[] = {
        {"a Latin home: Zoë", [](const World &) { return "Zoë"; }, nullptr, false},
        {"a Cyrillic home: Жанна", [](const World &) { return "Жанна"; }, nullptr, false},
        {"a home outside the Basic Multilingual Plane (a surrogate pair)",
         [](const World &) { return "home-\xF0\x9F\x94\x91"; }, nullptr, false},
        {"CJK names in LUMIVANE_CREDS_PATH", [](const World &) { return "home"; },
         [](const World &) { return "認証/北京.json"; }, true},
        {"a home of 300 characters", [](const World &w) { return padded_dir(w, "long", "", 300); }, nullptr,
         false},
        {"a credentials path of 329 characters", [](const World &) { return "home"; },
         [](const World &w) { return padded_dir(w, "long", "auth.json", 329) + "/auth.json"; }, true},
        // Too long a directory to put the profile beside it: the home rule.
        {"the longest credentials path, 1,023 bytes of Cyrillic", [](const World &) { return "home"; },
         [](const World &w) { return padded_dir(w, "long", "auth.json", 0, 1023) + "/auth.json"; }, false},
    };
    for (const auto &c : cases) {
        for (int cp : code_pages()) {
            SCOPED_TRACE(std::string(c.why) + ", code page " + std::to_string(cp));
            World w;
            w.code_page = cp;
            std::string home = c.home(w);
            std::string creds = c.creds ? c.creds(w) : home + "/.config/lumivane/auth.json";
            w.env["USERPROFILE"] = w.native(home);
            if (c.creds) w.env["LUMIVANE_CREDS_PATH"] = w.native(creds);
            w.write(creds, TOKENS);
            w.write(home + "/.zodizi/.login-pending/lumivane-default.json", pending_marker());
            w.write((c.profile_beside_creds ? dir_of(creds) : home + "/.zodizi") + "/vantorel-env/grandlumivane.txt", "");
            e2e::expect_everything_found(w.request("action=status"), w.native(creds));
        }
    }
}

// Windows drops a folder name's trailing dot: "node.\auth.json" is
// "node\auth.json", in a short path and in one past 260 characters alike.
TEST(NonAsciiNames, AFolderNameEndingInADotIsTheFolderWithout) {
    if (!e2e::runs_here(e2e::WINDOWS_ONLY)) GTEST_SKIP() << "Windows only: POSIX keeps the dot";
    struct Case {
        const char *why;
        size_t chars;  // the length of the credentials path; 0: short
    } cases[] = {
        {"a short path", 0},
        {"a path of 329 characters", 329},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        std::string dir = c.chars ? padded_dir(w, "node", "auth.json", c.chars) : "node";
        w.write(dir + "/auth.json", TOKENS);
        w.write("home/.zodizi/.login-pending/lumivane-default.json", pending_marker());
        w.write(dir + "/vantorel-env/grandlumivane.txt", "");
        // The same path with "node." for "node".
        std::string spelled = w.native("node.") + w.native(dir + "/auth.json").substr(w.native("node").size());
        w.env["USERPROFILE"] = w.native("home");
        w.env["LUMIVANE_CREDS_PATH"] = spelled;
        e2e::expect_everything_found(w.request("action=status"), spelled);
    }
}

TEST(NonAsciiNames, LocalCancelRemovesTheMarker) {
    // Without the login tool the plugin removes the pending marker itself.
    struct Case {
        const char *why;
        std::function<std::string(const World &)> home;
    } cases[] = {
        {"under Жанна", [](const World &) { return "Жанна"; }},
        {"under a home of 300 characters", [](const World &w) { return padded_dir(w, "long", "", 300); }},
    };
    for (const auto &c : cases) {
        for (int cp : code_pages()) {
            SCOPED_TRACE(std::string(c.why) + ", code page " + std::to_string(cp));
            World w;
            w.code_page = cp;
            std::string home = c.home(w);
            w.env["USERPROFILE"] = w.native(home);
            const std::string marker = home + "/.zodizi/.login-pending/lumivane-default.json";
            w.write(marker, pending_marker());
            Result r = w.request("action=cancel");
            EXPECT_EQ(r.out, std::string(e2e::JSON_HEADER) +
                                 "{\"ok\":true,\"state\":\"cancelled\",\"pending\":false,\"cli_present\":false}\n");
            EXPECT_EQ(r.exit_code, 0);
            EXPECT_FALSE(w.exists(marker));
        }
    }
}

TEST(NonAsciiNames, ToolsUnderSuchNamesRun) {
    // The login tool in a folder with such a name: started by its path or
    // found on PATH, as a program or (Windows) as a .cmd through cmd.exe.
    // (A program's own path stays below MAX_PATH: Windows starts none from
    // a longer one.)
    enum Kind { STANDIN, CMD };
    struct Case {
        const char *why;
        e2e::Only only;
        Kind kind;
        std::function<std::string(const World &)> dir;
        bool on_path;  // the command is the bare name, dir on PATH
    } cases[] = {
        {"a program under Жанна/tools", e2e::ANY_TARGET, STANDIN, [](const World &) { return "Жанна/tools"; }, false},
        {"a program under Жанна/tools found on PATH", e2e::ANY_TARGET, STANDIN,
         [](const World &) { return "Жанна/tools"; }, true},
        {"a program under 認証", e2e::ANY_TARGET, STANDIN, [](const World &) { return "認証"; }, false},
        {"a .cmd under Жанна", e2e::WINDOWS_ONLY, CMD, [](const World &) { return "Жанна"; }, false},
        {"a .cmd under Жанна found on PATH", e2e::WINDOWS_ONLY, CMD, [](const World &) { return "Жанна"; }, true},
    };
    for (const auto &c : cases) {
        if (!e2e::runs_here(c.only)) continue;
        for (int cp : code_pages()) {
            SCOPED_TRACE(std::string(c.why) + ", code page " + std::to_string(cp));
            World w;
            w.code_page = cp;
            w.bin_dir = c.dir(w);
            std::string command;
            if (c.kind == STANDIN) {
                command = w.tool("login", {{"--status", Reply(STATUS_LINE)}});
            } else {
                w.write(w.bin_dir + "/login.cmd", "@echo {\"ok\":true,\"account\":\"acme\"}\r\n");
                command = w.native(w.bin_dir + "/login.cmd");
            }
            if (c.on_path) {
                w.env["PATH"] = w.native(w.bin_dir) + (e2e::WINDOWS_TARGET ? ";" : ":") + w.env["PATH"];
                command = "login";
            }
            w.env["LUMIVANE_LOGIN_BIN"] = command;
            Result r = w.request("action=status");
            EXPECT_EQ(r.exit_code, 0);
            EXPECT_EQ(r.err, "");
            EXPECT_TRUE(read_doc(r).has("\"cli_present\":true")) << r.out;
            EXPECT_TRUE(read_doc(r).has("\"account\":\"acme\"")) << r.out;
            if (c.kind == STANDIN) {
                EXPECT_EQ(w.runs("login"), std::vector<std::string>{"--status"});
            }
        }
    }
}

TEST(NonAsciiNames, AToolSeesTheEnvironmentAsGiven) {
    // What the plugin passes on reaches the tool with every letter.
    for (int cp : code_pages()) {
        SCOPED_TRACE("code page " + std::to_string(cp));
        World w;
        w.code_page = cp;
        const std::vector<std::pair<std::string, std::string>> vars = {
            {"USERPROFILE", w.native("Жанна")},
            {"LUMIVANE_CREDS_PATH", w.native("認証/北京.json")},
            {"LUMIVANE_NOTE", "Zoë \xF0\x9F\x94\x91"},
        };
        for (const auto &kv : vars) w.env[kv.first] = kv.second;
        Reply list(STATUS_LINE);
        list.act = e2e::Act::LIST_ENV;
        w.login_tool({{"--status", list}});
        Result r = w.request("action=status");
        EXPECT_TRUE(read_doc(r).has("\"account\":\"acme\"")) << r.out;
        std::string seen = "\n" + w.read("logs/login.vars");
        for (const auto &kv : vars) {
            EXPECT_NE(seen.find("\n" + kv.first + "=" + kv.second + "\n"), std::string::npos) << seen;
        }
    }
}

TEST(NonAsciiNames, WindowsVariableNamesInAnyCase) {
    // Windows names its variables in any case (a host passes "Path"); the
    // plugin finds them as Windows does.
    if (!e2e::runs_here(e2e::WINDOWS_ONLY)) GTEST_SKIP() << "Windows only: POSIX names are case-sensitive";
    World w;
    w.code_page = 1251;
    w.bin_dir = "Жанна/tools";
    w.tool("login", {{"--status", Reply(STATUS_LINE)}});
    w.env["Path"] = w.native(w.bin_dir) + ";" + w.env["PATH"];
    w.env.erase("PATH");
    w.env["lumivane_login_bin"] = "login";
    w.env["UserProfile"] = w.native("Жанна");
    w.write("Жанна/.config/lumivane/auth.json", TOKENS);
    Result r = w.request("action=status");
    EXPECT_TRUE(read_doc(r).has("\"account\":\"acme\"")) << r.out;
    EXPECT_TRUE(read_doc(r).has("\"logged_in\":true")) << r.out;
}

}  // namespace
