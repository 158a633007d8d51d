// Where the plugin looks for the sign-in files, end to end on both
// targets: the home directory's sources in order, the separator it joins
// with, the fallback token file, the variables that name each file, the
// profile directory beside the credentials file, and paths too long to
// hold. Each case puts the files where they should be found and reads the
// answer from the status document. (The local cancel's removal is with the
// cancel action's tables.)
#include <gtest/gtest.h>

#include <stdlib.h>
#include <time.h>

#include <functional>

#include "harness.h"

using e2e::Result;
using e2e::read_doc;
using e2e::World;
using e2e::json_path;
using e2e::pending_marker;

namespace {

const char TOKENS[] = "{\"access_token\":\"a\",\"refresh_token\":\"r\"}";


std::string joined(const std::string &base, const std::vector<std::string> &parts) {
    std::string p = base;
    for (const auto &part : parts) p += e2e::NATIVE_SEP + part;
    return p;
}

TEST(HomeDirectory, SourcesInOrder) {
    enum Home { WORLD_DIR, NONE };
    struct Case {
        const char *why;
        const char *userprofile, *homedrive, *homepath, *home;  // null: unset; "@..." see below
        Home posix, windows;
    } cases[] = {
        // "@" is the world's directory in the plugin's form; "@1" its first
        // part ("Z:" or "/tmp"), "@2" the rest: HOMEDRIVE and HOMEPATH.
        {"no home variable: bare names in the working directory", nullptr, nullptr, nullptr, nullptr, NONE, NONE},
        {"USERPROFILE", "@", nullptr, nullptr, nullptr, WORLD_DIR, WORLD_DIR},
        {"HOMEDRIVE and HOMEPATH joined", nullptr, "@1", "@2", nullptr, WORLD_DIR, WORLD_DIR},
        // "!" is a folder of the world that holds none of the files.
        {"USERPROFILE wins over HOME", "@", nullptr, nullptr, "!", WORLD_DIR, WORLD_DIR},
        {"USERPROFILE wins over HOMEDRIVE+HOMEPATH", "@", "Q:", "\\nowhere", nullptr, WORLD_DIR, WORLD_DIR},
        {"empty USERPROFILE", "", "@1", "@2", nullptr, WORLD_DIR, WORLD_DIR},
        {"USERPROFILE of 512 bytes is passed over", "#512", "@1", "@2", nullptr, WORLD_DIR, WORLD_DIR},
        {"HOMEDRIVE without HOMEPATH", nullptr, "@1", nullptr, nullptr, NONE, NONE},
        {"HOMEPATH without HOMEDRIVE", nullptr, nullptr, "@2", nullptr, NONE, NONE},
        {"empty HOMEPATH", nullptr, "@1", "", nullptr, NONE, NONE},
        // HOME is a POSIX source only: a Windows node has no such fallback.
        {"HOME", nullptr, nullptr, nullptr, "@", WORLD_DIR, NONE},
        {"HOME after an incomplete pair", nullptr, "@1", nullptr, "@", WORLD_DIR, NONE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        std::string me = w.native_dir();
        size_t split = me.find(e2e::NATIVE_SEP, 1);
        auto value = [&](const char *v) -> std::string {
            std::string s = v;
            if (s == "@") return me;
            if (s == "@1") return me.substr(0, split);
            if (s == "@2") return me.substr(split);
            if (s == "#512") return std::string(512, 'u');
            if (s == "!") return me + e2e::NATIVE_SEP + "elsewhere";
            return s;
        };
        const char *names[] = {"USERPROFILE", "HOMEDRIVE", "HOMEPATH", "HOME"};
        const char *values[] = {c.userprofile, c.homedrive, c.homepath, c.home};
        for (int i = 0; i < 4; i++) {
            if (values[i]) w.env[names[i]] = value(values[i]);
        }
        Home expect = e2e::WINDOWS_TARGET ? c.windows : c.posix;
        std::string creds_path;
        if (expect == WORLD_DIR) {
            w.write(".config/lumivane/auth.json", TOKENS);
            w.write(".zodizi/.login-pending/lumivane-default.json", pending_marker());
            w.write(".zodizi/vantorel-env/grandlumivane.txt", "");
            creds_path = joined(me, {".config", "lumivane", "auth.json"});
        } else {
            // Bare names in the working directory.
            w.write("auth.json", TOKENS);
            w.write("lumivane-default.json", pending_marker());
            w.write("grandlumivane.txt", "");
            creds_path = "auth.json";
        }
        e2e::expect_everything_found(w.request("action=status"), creds_path);
    }
}

TEST(HomeDirectory, FallbackTokenFileUnderHome) {
    struct Case {
        const char *why;
        const char *home_variable;
        bool creds;            // a credentials file without a token exists
        bool creds_env_empty;  // LUMIVANE_CREDS_PATH set to "" blocks the fallback
        bool used;
        e2e::Only only = e2e::ANY_TARGET;
    } cases[] = {
        {"credentials file missing", "USERPROFILE", false, false, true},
        {"not used when credentials exist without a token", "USERPROFILE", true, false, false},
        {"LUMIVANE_CREDS_PATH empty", "USERPROFILE", false, true, false},
        {"under HOME", "HOME", false, false, true, e2e::POSIX_ONLY},
    };
    for (const auto &c : cases) {
        if (!e2e::runs_here(c.only)) continue;
        SCOPED_TRACE(c.why);
        World w;
        std::string me = w.native_dir();
        w.env[c.home_variable] = me;
        if (c.creds_env_empty) w.env["LUMIVANE_CREDS_PATH"] = "";
        if (c.creds) w.write(".config/lumivane/auth.json", "{}");
        w.write(".lumivane/token.json", TOKENS);
        Result r = w.request("action=status");
        std::string expected = c.used ? joined(me, {".lumivane", "token.json"})
                                      : joined(me, {".config", "lumivane", "auth.json"});
        EXPECT_TRUE(read_doc(r).has("\"path\":\"" + json_path(expected) + "\"")) << r.out;
        EXPECT_TRUE(read_doc(r).has(c.used ? "\"logged_in\":true" : "\"logged_in\":false")) << r.out;
    }
}

TEST(FileVariables, EachNamesItsFile) {
    E2E_POSIX_ONLY("'/' paths and a backslash as an ordinary byte (on Windows: ProfileMarker.*)");
    struct Case {
        const char *why;
        std::map<std::string, std::string> env;  // "@" stands for the world's directory
        std::string creds_at, marker_at, profile_at;
        std::string path;  // expected "path" member, "@" for the directory
    } cases[] = {
        {"variables", {{"LUMIVANE_CREDS_PATH", "@/k/c.json"}, {"LUMIVANE_PENDING_PATH", "@/p.json"}, {"HOME", "@"}},
         "k/c.json", "p.json", "k/vantorel-env/grandlumivane.txt", "\"@/k/c.json\""},
        {"env dir wins", {{"LUMIVANE_CREDS_PATH", "@/k/c.json"}, {"LUMIVANE_ENV_DIR", "@/e/"}}, "k/c.json",
         "lumivane-default.json", "e//grandlumivane.txt", "\"@/k/c.json\""},
        {"a backslash is an ordinary byte here", {{"LUMIVANE_CREDS_PATH", "k\\c.json"}}, "k\\c.json",
         "lumivane-default.json", "grandlumivane.txt", "\"k\\\\c.json\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        w.login_tool({{"--status", e2e::Reply{"{\"ok\":true}"}}});
        auto at = [&](std::string v) {
            for (size_t i = v.find('@'); i != std::string::npos; i = v.find('@', i + w.dir.size()))
                v.replace(i, 1, w.dir);
            return v;
        };
        for (const auto &kv : c.env) w.env[kv.first] = at(kv.second);
        w.write(c.creds_at, "{\"access_token\":\"a\"}");
        long long created = (long long)time(nullptr);
        w.write(c.marker_at, "{\"created\":" + std::to_string(created) + "}");
        Result r = w.request("action=status");
        e2e::Doc first = e2e::read_doc(r);
        w.write(c.profile_at, "");
        e2e::Doc second = e2e::read_doc(w.request("action=status"));
        EXPECT_EQ(first.raw("path"), at(c.path));
        EXPECT_EQ(first.raw("logged_in"), "true");
        // Read between the marker's writing and the document's "now".
        long long age = atoll(first.raw("pending_age_sec").c_str());
        EXPECT_GE(age, 0);
        EXPECT_LE(age, e2e::doc_now(r.out) - created);
        EXPECT_EQ(first.raw("profile_exists"), "false");
        EXPECT_EQ(second.raw("profile_exists"), "true");
    }
}

TEST(ProfileMarker, BesideTheCredentialsFile) {
    // The directory part of LUMIVANE_CREDS_PATH ends at its last backslash
    // on Windows, else at its last slash; POSIX knows only the slash.
    enum Base { NATIVE, SLASHES, BARE };  // the world's directory in native form, with '/', or none
    struct Case {
        const char *why;
        Base base;
        std::string rest;
        const char *marker_posix, *marker_windows;  // where the marker is found
    } cases[] = {
        {"native separators", NATIVE, std::string(1, e2e::NATIVE_SEP) + "keys" + e2e::NATIVE_SEP + "auth.json",
         "keys/vantorel-env/grandlumivane.txt", "keys/vantorel-env/grandlumivane.txt"},
        {"forward slashes only", SLASHES, "/keys/auth.json", "keys/vantorel-env/grandlumivane.txt",
         "keys/vantorel-env/grandlumivane.txt"},
        {"the last backslash decides though a slash follows", NATIVE,
         std::string(1, e2e::NATIVE_SEP) + "sub\\keys/auth.json",
         "sub\\keys/vantorel-env/grandlumivane.txt", "sub/vantorel-env/grandlumivane.txt"},
        {"no separator: the home rule", BARE, "auth.json", ".zodizi/vantorel-env/grandlumivane.txt",
         ".zodizi/vantorel-env/grandlumivane.txt"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        std::string me = w.native_dir();
        std::string base = c.base == NATIVE ? me : c.base == BARE ? "" : (e2e::WINDOWS_TARGET ? "Z:" : "") + w.dir;
        std::string creds = base + c.rest;
        w.env["USERPROFILE"] = me;
        w.env["LUMIVANE_CREDS_PATH"] = creds;
        w.write(e2e::WINDOWS_TARGET ? c.marker_windows : c.marker_posix, "");
        Result r = w.request("action=status");
        EXPECT_TRUE(read_doc(r).has("\"path\":\"" + json_path(creds) + "\"")) << r.out;
        EXPECT_TRUE(read_doc(r).has("\"profile_exists\":true")) << r.out;
    }
}

TEST(PathsThatDoNotFit, NameNoFileRatherThanACutOne) {
    // Each variable is longer than a path holds (1,023 bytes), and the
    // file that its first 1,023 bytes would name, or the bare name in the
    // working directory, holds what would show if it were read.
    struct Case {
        const char *why;
        std::function<void(World &, const std::string &me)> setup;
        std::map<std::string, std::string> expect;  // members, raw text
    } cases[] = {
        {"credentials path of 1,031 bytes",
         [](World &w, const std::string &) {
             w.env["LUMIVANE_CREDS_PATH"] = e2e::dots(511, "auth.json");  // cut: "./" x 511 + "a"
             w.write("a", TOKENS);
             w.write("auth.json", TOKENS);
         },
         {{"logged_in", "false"}, {"has_refresh", "false"}, {"path", "\"\""}}},
        {"pending marker path of 1,024 bytes",
         [](World &w, const std::string &) {
             w.env["LUMIVANE_PENDING_PATH"] = e2e::dots(511, "vx");
             w.write("v", pending_marker());
             w.write("vx", pending_marker());
             w.write("lumivane-default.json", pending_marker());
         },
         {{"pending", "false"}, {"pending_age_sec", "(absent)"}}},
        {"profile directory of 1,024 bytes",
         [](World &w, const std::string &) {
             w.env["LUMIVANE_ENV_DIR"] = e2e::dots(511, "ee");
             w.write("grandlumivane.txt", "");
         },
         {{"profile_exists", "false"}}},
        // The directory fits, the marker path beside it does not.
        {"profile directory of 1,006 bytes",
         [](World &w, const std::string &) {
             w.env["LUMIVANE_ENV_DIR"] = e2e::dots(502, "ee");
             w.write("grandlumivane.txt", "");
         },
         {{"profile_exists", "false"}}},
        {"a home joined from HOMEDRIVE and HOMEPATH longer than 511 bytes",
         [](World &w, const std::string &me) {
             size_t split = me.find(e2e::NATIVE_SEP, 1);
             w.env["HOMEDRIVE"] = me.substr(0, split);
             std::string tail = me.substr(split);
             for (int i = 0; i < 260; i++) tail += std::string(1, e2e::NATIVE_SEP) + ".";
             w.env["HOMEPATH"] = tail;
             w.write(".config/lumivane/auth.json", TOKENS);
         },
         {{"logged_in", "false"}, {"path", "\"auth.json\""}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        std::string me = w.native_dir();
        w.login_tool({{"--status", e2e::Reply("{\"ok\":true}")}});
        c.setup(w, me);
        Result r = w.request("action=status");
        EXPECT_EQ(r.exit_code, 0);
        for (const auto &kv : c.expect) {
            if (kv.second == "(absent)") {
                EXPECT_FALSE(read_doc(r).has("\"" + kv.first + "\":")) << r.out;
            } else {
                EXPECT_TRUE(read_doc(r).has("\"" + kv.first + "\":" + kv.second + ",")) << kv.first << " in " << r.out;
            }
        }
    }
}

}  // namespace
