// The status document end to end: what the credentials file, the pending
// marker, the profile marker and the two tools make of it.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <functional>

#include "harness.h"

using e2e::Reply;
using e2e::Result;
using e2e::read_doc;
using e2e::World;

namespace {

std::string repeat(const std::string &s, int n) {
    std::string out;
    for (int i = 0; i < n; i++) out += s;
    return out;
}

// The status document of a response, read strictly; a response that does
// not open with the JSON header fails the row.
e2e::Doc status_doc(const Result &r) {
    e2e::Doc d = e2e::read_doc(r);
    EXPECT_EQ(d.head, e2e::JSON_HEADER);
    return d;
}

// Checks the pending members of a status document for a marker created at
// `created` by a case whose clock read t0 just before it wrote the marker.
// The program decides the age and writes the document's "now" on one
// reading of its clock, so the age is exactly now − created however long
// the program took to start; a login stays pending PENDING_WINDOW_SEC
// seconds of age, and a future "created" gives a negative age, which the
// document leaves out and which is never pending. Where the program read
// its clock in the second t0 the rows show the window's edges exactly.
constexpr long long PENDING_WINDOW_SEC = 900;
void expect_pending_members(const e2e::Doc &doc, long long t0, long long created) {
    long long now = atoll(doc.raw("now").c_str());
    EXPECT_GE(now, t0) << "the program's clock is behind the one that wrote the marker";
    long long age = now - created;
    if (age < 0) {
        EXPECT_EQ(doc.raw("pending_age_sec"), "(absent)");
        EXPECT_EQ(doc.raw("pending"), "false");
        return;
    }
    EXPECT_EQ(doc.raw("pending_age_sec"), std::to_string(age)) << "the age is not counted to the document's now";
    EXPECT_EQ(doc.raw("pending"), age <= PENDING_WINDOW_SEC ? "true" : "false") << "age " << age;
}

std::string created_at(long long t) { return "{\"created\":" + std::to_string(t) + "}"; }

TEST(StatusDocument, ExactBytesSignedInAndPending) {
    {
        e2e::NodeWorld w;
        w.write("grandlumivane.txt", "");  // profile marker beside a home-less node
        long long expires = (long long)time(nullptr) + 3600;
        w.write("auth.json", "{\"access_token\":\"tok\",\"refresh_token\":\"r\",\"expires_at\":" +
                                 std::to_string(expires) + "}");
        Result r = w.request("action=status");
        long long now = e2e::doc_now(r.out);
        EXPECT_EQ(r.out, std::string(e2e::JSON_HEADER) +
                  "{\"ok\":true,\"provider\":\"lumivane\",\"logged_in\":true,\"username\":\"LumiVane\","
                  "\"account\":\"\",\"org_id\":\"\",\"expires_at\":" + std::to_string(expires) +
                  ",\"expires_in_sec\":" + std::to_string(expires - now) +
                  ",\"expired\":false,\"has_refresh\":true,\"pending\":false,\"profile\":\"grandlumivane\","
                  "\"profile_exists\":true,\"cli_present\":true,\"token_cli_present\":true,"
                  "\"login_command\":\"" + e2e::json_path(w.env["LUMIVANE_LOGIN_BIN"]) +
                  "\",\"token_command\":\"" + e2e::json_path(w.env["LUMIVANE_TOKEN_BIN"]) +
                  "\",\"path\":\"auth.json\","
                  "\"protocol\":\"VNLOGIN-MACHINE-V1\",\"plugin\":\"plugin_lumivane_login\","
                  "\"plugin_version\":\"1.0.0\",\"now\":" + std::to_string(now) + "}\n");
        EXPECT_GE(now, r.started);
        EXPECT_LE(now, r.finished);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(w.runs("login"), std::vector<std::string>{"--status"});
        EXPECT_EQ(w.runs("token"), std::vector<std::string>{"--help"});
    }
    {
        World w;  // neither tool installed
        long long t0 = (long long)time(nullptr);
        w.write("lumivane-default.json", created_at(t0 - 120));
        Result r = w.request("action=status");
        e2e::Doc doc = e2e::read_doc(r);
        expect_pending_members(doc, t0, t0 - 120);
        EXPECT_EQ(r.out, std::string(e2e::JSON_HEADER) +
                  "{\"ok\":true,\"provider\":\"lumivane\",\"logged_in\":false,\"username\":\"\",\"account\":\"\","
                  "\"org_id\":\"\",\"expires_at\":0,\"expires_in_sec\":0,\"expired\":false,\"has_refresh\":false,"
                  "\"pending\":" + doc.raw("pending") + ",\"pending_age_sec\":" + doc.raw("pending_age_sec") +
                      ",\"pending_id\":\"" + e2e::content_id_of(w, "lumivane-default.json") +
                      "\",\"profile\":\"grandlumivane\",\"profile_exists\":false,"
                  "\"cli_present\":false,\"token_cli_present\":false,"
                  "\"login_command\":\"vantorel-lumivane-login\",\"token_command\":\"vantorel-lumivane-fetchtoken\","
                  "\"path\":\"auth.json\","
                  "\"cli_error\":\"cli_not_found\",\"protocol\":\"VNLOGIN-MACHINE-V1\","
                  "\"plugin\":\"plugin_lumivane_login\",\"plugin_version\":\"1.0.0\",\"now\":" +
                      std::to_string(e2e::doc_now(r.out)) + "}\n");
    }
}

TEST(StatusDocument, CredentialsFileFields) {
    struct Case {
        const char *why;
        std::string creds;  // "(none)": no file
        std::map<std::string, std::string> expect;
    } cases[] = {
        {"milliseconds", R"({"access_token":"a","expires_at":1700000000000})",
         {{"logged_in", "true"}, {"expires_at", "1700000000"}, {"expired", "true"}, {"username", "\"LumiVane\""}}},
        {"threshold itself is seconds", R"({"expires_at":100000000000})",
         {{"expires_at", "100000000000"}, {"expired", "false"}, {"logged_in", "false"}}},
        {"one above is milliseconds", R"({"expires_at":100000000001})", {{"expires_at", "100000000"}}},
        {"quoted number", R"({"expires_at":"1700000000"})", {{"expires_at", "1700000000"}}},
        {"negative expiry", R"({"expires_at":-5})", {{"expires_at", "0"}, {"expires_in_sec", "0"}}},
        {"org_id fills account and username", R"({"access_token":"a","org_id":"org-7"})",
         {{"org_id", "\"org-7\""}, {"account", "\"org-7\""}, {"username", "\"org-7\""}}},
        {"empty org_id", R"({"org_id":""})", {{"org_id", "\"\""}, {"account", "\"\""}}},
        {"empty token is no token", R"({"access_token":"","refresh_token":""})",
         {{"logged_in", "false"}, {"has_refresh", "false"}}},
        // Escape pairs alone are no token; the digits after \u are plain bytes.
        {"a token of escape pairs only is no token", R"({"access_token":"\n","refresh_token":"\t\n"})",
         {{"logged_in", "false"}, {"has_refresh", "false"}}},
        {"a plain byte after escape pairs is a token", R"({"access_token":"\nx","refresh_token":"\u0000"})",
         {{"logged_in", "true"}, {"has_refresh", "true"}}},
        {"a token under an object is no token", R"({"access_token":{"v":"a"}})", {{"logged_in", "false"}}},
        {"null token", R"({"access_token":null,"refresh_token":"r"})",
         {{"logged_in", "false"}, {"has_refresh", "true"}}},
        {"nested token does not count", R"({"data":{"access_token":"a"}})", {{"logged_in", "false"}}},
        {"empty file", "", {{"logged_in", "false"}, {"path", "\"auth.json\""}}},
        {"binary junk", std::string("\x01\xff{\"access_token\x00\":\"a\"}", 22), {{"logged_in", "false"}}},
        {"text after a NUL is not read", std::string("{\"x\":1\x00,\"access_token\":\"a\"}", 28),
         {{"logged_in", "false"}}},
        {"escapes in values", R"({"access_token":"a","org_id":"Zo\u00eb \"q\" \\"})",
         {{"org_id", "\"Zo\xc3\xab \\\"q\\\" \\\\\""}}},
        // Text is cut at its 255 bytes between characters, and bytes that
        // are no UTF-8 come out as U+FFFD: the document stays UTF-8.
        {"org_id of 200 two-byte characters keeps 127 whole", "{\"org_id\":\"" + repeat("\xc3\xa9", 200) + "\"}",
         {{"org_id", "\"" + repeat("\xc3\xa9", 127) + "\""}, {"account", "\"" + repeat("\xc3\xa9", 127) + "\""}}},
        {"org_id of 100 three-byte characters keeps 85 whole", "{\"org_id\":\"" + repeat("\xe2\x82\xac", 100) + "\"}",
         {{"org_id", "\"" + repeat("\xe2\x82\xac", 85) + "\""}}},
        {"ill-formed bytes in org_id", "{\"org_id\":\"a\xff\xc3(\xed\xa0\x80z\"}",
         {{"org_id", "\"a\xef\xbf\xbd\xef\xbf\xbd(\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbdz\""}}},
        // An object or array in a text field reads as no value at all.
        {"org_id holding an object", R"({"access_token":"a","org_id":{"access_token":"tok_SECRET","x":1}})",
         {{"org_id", "\"\""}, {"account", "\"\""}, {"username", "\"LumiVane\""}}},
        {"org_id holding an array", R"({"org_id":["tok_SECRET",1]})", {{"org_id", "\"\""}, {"account", "\"\""}}},
        {"a number in org_id stays text", R"({"org_id":42})", {{"org_id", "\"42\""}}},
        {"true in org_id stays text", R"({"org_id":true})", {{"org_id", "\"true\""}}},
        // Files written by Windows tools often open with a byte-order mark.
        {"byte-order mark", "\xEF\xBB\xBF{\"access_token\":\"a\",\"refresh_token\":\"r\",\"org_id\":\"o\"}",
         {{"logged_in", "true"}, {"has_refresh", "true"}, {"org_id", "\"o\""}}},
        {"byte-order mark and CR LF lines", "\xEF\xBB\xBF{\r\n  \"access_token\": \"a\"\r\n}\r\n", {{"logged_in", "true"}}},
        {"a mark anywhere else is no mark", " \xEF\xBB\xBF{\"access_token\":\"a\"}", {{"logged_in", "false"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        e2e::NodeWorld w;
        w.write("auth.json", c.creds);
        Result r = w.request("action=status");
        e2e::Doc doc = status_doc(r);
        for (const auto &kv : c.expect) EXPECT_EQ(doc.raw(kv.first), kv.second) << kv.first;
        EXPECT_EQ(r.exit_code, 0);
    }
}

TEST(StatusDocument, ExpiresInCountsFromNow) {
    for (const char *lifetime : {"3600", "0", "absent"}) {
        SCOPED_TRACE(lifetime);
        e2e::NodeWorld w;
        std::string creds = std::string(lifetime) == "absent"
                                ? "{\"access_token\":\"a\"}"
                                : std::string("{\"access_token\":\"a\",\"expires_at\":0,\"expires_in\":") + lifetime + "}";
        w.write("auth.json", creds);
        Result r = w.request("action=status");
        e2e::Doc doc = status_doc(r);
        if (std::string(lifetime) != "3600") {
            EXPECT_EQ(doc.raw("expires_at"), "0");
            EXPECT_EQ(doc.raw("expires_in_sec"), "0");
            continue;
        }
        // The lifetime counts from the program's clock while it reads the
        // file; the time left counts to the document's own "now", which may
        // be a second later on a slow host.
        long long at = atoll(doc.raw("expires_at").c_str());
        EXPECT_GE(at, r.started + 3600);
        EXPECT_LE(at, r.finished + 3600);
        EXPECT_EQ(doc.raw("expires_in_sec"), std::to_string(at - e2e::doc_now(r.out)));
    }
}

TEST(StatusDocument, PendingMarkerAge) {
    // Markers with a "created" in seconds, `offset` seconds from t0, the
    // clock just before the marker is written. Where the program reads its
    // clock in that same second the rows show the edges of the window
    // exactly (900 s old is pending, 901 s is not); a slower start shifts
    // each age by the seconds it took, and the expectation with it.
    struct Aged {
        const char *why;
        long long offset;
        std::string before;  // bytes ahead of the JSON object
    } aged[] = {
        {"900 s old at t0 is pending", -900, ""},
        {"901 s old at t0 is stale", -901, ""},
        {"just created", 0, ""},
        {"in the future: no age, not pending", 30, ""},
        {"byte-order mark", -60, "\xEF\xBB\xBF"},
    };
    for (const auto &c : aged) {
        SCOPED_TRACE(c.why);
        e2e::NodeWorld w;
        long long t0 = (long long)time(nullptr);
        w.write("lumivane-default.json", c.before + created_at(t0 + c.offset));
        Result r = w.request("action=status");
        SCOPED_TRACE("the document's now is t0 + " + std::to_string(e2e::doc_now(r.out) - t0));
        expect_pending_members(status_doc(r), t0, t0 + c.offset);
    }
    // Markers that give no age: each is pending or not whatever the clock.
    const long long t0 = (long long)time(nullptr);
    struct Ageless {
        const char *why;
        std::string marker;  // "(none)" for no file
        const char *pending;
    } ageless[] = {
        {"created 0", "{\"created\":0}", "true"},
        {"no created", "{}", "true"},
        {"empty marker", "", "true"},
        // The clock in milliseconds reads as far in the future.
        {"milliseconds are not converted", created_at(t0 * 1000), "false"},
        {"no marker", "(none)", "false"},
    };
    for (const auto &c : ageless) {
        SCOPED_TRACE(c.why);
        e2e::NodeWorld w;
        if (c.marker != "(none)") w.write("lumivane-default.json", c.marker);
        e2e::Doc doc = status_doc(w.request("action=status"));
        EXPECT_EQ(doc.raw("pending"), c.pending);
        EXPECT_EQ(doc.raw("pending_age_sec"), "(absent)");
    }
}

TEST(StatusDocument, LoginToolReportFillsOnlyWhatIsMissing) {
    struct Case {
        const char *why;
        std::string creds;       // "(none)" for no file
        bool marker;             // a fresh pending marker exists
        std::string report;      // the tool's whole output
        std::map<std::string, std::string> expect;
    } cases[] = {
        {"tool fills an empty node", "(none)", false,
         "progress\n{\"ok\":true,\"logged_in\":true,\"has_refresh\":\"true\",\"account\":\"op@x\","
         "\"expires_at\":1700000000000,\"profile_exists\":1}\n",
         {{"logged_in", "true"}, {"has_refresh", "true"}, {"account", "\"op@x\""}, {"username", "\"op@x\""},
          {"expires_at", "1700000000"}, {"expired", "true"}, {"profile_exists", "true"}, {"cli_error", "(absent)"}}},
        {"never lowers a flag", R"({"access_token":"a","refresh_token":"r","org_id":"o"})", false,
         "{\"ok\":true,\"logged_in\":false,\"has_refresh\":false,\"account\":\"tool\",\"expires_at\":5}",
         {{"logged_in", "true"}, {"has_refresh", "true"}, {"account", "\"o\""}, {"expires_at", "5"}}},
        {"error is read when not ok, and the rest still merges", "(none)", false,
         "{\"ok\":false,\"error\":\"profile_locked\",\"logged_in\":true}",
         {{"cli_error", "\"profile_locked\""}, {"logged_in", "true"}, {"cli_present", "true"}}},
        {"a failing status carries the tool's detail too", "(none)", false,
         "{\"ok\":false,\"error\":\"profile_locked\",\"detail\":\"held by pid 4242\"}",
         {{"cli_error", "\"profile_locked\""}, {"cli_detail", "\"held by pid 4242\""}, {"cli_present", "true"}}},
        {"error ignored when ok", "(none)", false, "{\"ok\":true,\"error\":\"ignored\",\"detail\":\"ignored\"}",
         {{"cli_error", "(absent)"}, {"cli_detail", "(absent)"}}},
        {"null error leaves none", "(none)", false, "{\"ok\":false,\"error\":null}", {{"cli_error", "(absent)"}}},
        {"pending from the tool when there is no marker", "(none)", false, "{\"ok\":true,\"pending\":true}",
         {{"pending", "true"}, {"pending_age_sec", "(absent)"}}},
        {"no JSON line", "(none)", false, "just text\n", {{"cli_present", "true"}, {"cli_error", "(absent)"}}},
        {"only the last JSON line counts", "(none)", false, "{\"ok\":true,\"logged_in\":true}\n{\"ok\":true}\n",
         {{"logged_in", "false"}}},
        {"long error is cut to 511 bytes", "(none)", false,
         "{\"ok\":false,\"error\":\"" + std::string(600, 'e') + "\"}", {{"cli_error", "\"" + std::string(511, 'e') + "\""}}},
        {"long error of two-byte characters keeps whole ones", "(none)", false,
         "{\"ok\":false,\"error\":\"" + repeat("\xc3\xa9", 300) + "\"}", {{"cli_error", "\"" + repeat("\xc3\xa9", 255) + "\""}}},
        {"an account object is no account", "(none)", false,
         "{\"ok\":true,\"account\":{\"access_token\":\"tok_SECRET\",\"x\":1}}", {{"account", "\"\""}, {"username", "\"\""}}},
        {"an error array is no error", "(none)", false, "{\"ok\":false,\"error\":[\"tok_SECRET\"]}",
         {{"cli_error", "(absent)"}}},
        {"ill-formed bytes in the account", "(none)", false, "{\"ok\":true,\"account\":\"op\xc0\xafx\"}",
         {{"account", "\"op\xef\xbf\xbd\xef\xbf\xbdx\""}}},
        {"a line that opens with a byte-order mark", "(none)", false,
         "starting\n\xEF\xBB\xBF{\"ok\":true,\"account\":\"bom\",\"logged_in\":true}\n",
         {{"account", "\"bom\""}, {"logged_in", "true"}}},
        {"output that opens with a byte-order mark", "(none)", false,
         "\xEF\xBB\xBF{\"ok\":true,\"account\":\"first\"}", {{"account", "\"first\""}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        w.login_tool({{"--status", Reply{c.report}}});
        w.token_tool({});
        if (c.creds != "(none)") w.write("auth.json", c.creds);
        Result r = w.request("action=status");
        e2e::Doc doc = status_doc(r);
        for (const auto &kv : c.expect) EXPECT_EQ(doc.raw(kv.first), kv.second) << kv.first;
    }
}

TEST(StatusDocument, StaleMarkerKeepsPendingOffWhateverTheToolSays) {
    World w;
    w.login_tool({{"--status", Reply{"{\"ok\":true,\"pending\":true}"}}});
    w.write("lumivane-default.json", "{\"created\":1000}");
    e2e::Doc doc = status_doc(w.request("action=status"));
    EXPECT_EQ(doc.raw("pending"), "false");
}

TEST(StatusDocument, ToolPresence) {
    struct Case {
        const char *why;
        std::function<void(World &)> setup;
        const char *cli_present, *token_present, *cli_error;
        e2e::Only only = e2e::ANY_TARGET;
    } cases[] = {
        {"both missing", [](World &) {}, "false", "false", "\"cli_not_found\""},
        {"tools that fail still count as present",
         [](World &w) {
             w.login_tool({}, Reply{"", 3, "boom"});
             w.token_tool({}, Reply{"", 1});
         },
         "true", "true", "(absent)"},
        {"a tool that exits 127 itself reads as not found",
         [](World &w) { w.login_tool({}, Reply{"{\"ok\":true}", e2e::NOT_FOUND_STATUS}); }, "false", "false", "\"cli_not_found\""},
        // There, but it cannot be started: Windows has no execute bit.
        {"not executable", [](World &w) {
             w.write("bin/noexec", "#!/bin/sh\necho '{}'\n");
             w.env["LUMIVANE_LOGIN_BIN"] = w.path("bin/noexec");
         }, "false", "false", "\"cli_spawn_failed\"", e2e::POSIX_ONLY},
        {"command too long to quote is not run",
         [](World &w) { w.env["LUMIVANE_LOGIN_BIN"] = "/bin/" + std::string(600, 'x'); }, "false", "false",
         "\"cli_spawn_failed\""},
        {"empty variable means the default command",
         [](World &w) { w.env["LUMIVANE_LOGIN_BIN"] = ""; }, "false", "false", "\"cli_not_found\""},
    };
    for (const auto &c : cases) {
        if (!e2e::runs_here(c.only)) continue;
        SCOPED_TRACE(c.why);
        World w;
        c.setup(w);
        e2e::Doc doc = status_doc(w.request("action=status"));
        EXPECT_EQ(doc.raw("cli_present"), c.cli_present);
        EXPECT_EQ(doc.raw("token_cli_present"), c.token_present);
        EXPECT_EQ(doc.raw("cli_error"), c.cli_error);
    }
}

TEST(StatusDocument, ToolPathsAreOneWordNeverInterpreted) {
    E2E_POSIX_ONLY("file names holding '\"' or '/' (on Windows: ToolCommand.*)");
    for (std::string name : {"dir with space/lo gin", "x'; touch pwned; '", "a\"b$(touch pwned)`touch pwned`;|&"}) {
        SCOPED_TRACE(name);
        World w;
        std::string script = w.tool("login", {{"--status", Reply{"{\"ok\":true,\"account\":\"odd\"}"}}});
        std::string odd = w.path("bin/" + name);
        w.write(odd, w.read(script));
        chmod(odd.c_str(), 0755);
        w.env["LUMIVANE_LOGIN_BIN"] = odd;
        e2e::Doc doc = status_doc(w.request("action=status"));
        EXPECT_EQ(doc.raw("cli_present"), "true");
        EXPECT_EQ(doc.raw("account"), "\"odd\"");
        EXPECT_FALSE(w.exists("pwned"));
        EXPECT_FALSE(w.exists("bin/pwned"));
    }
}

TEST(StatusDocument, ToolOutputLimitsAndTrimming) {
    struct Case {
        const char *why;
        std::string output;
        const char *account;
    } cases[] = {
        // A JSON line past the 262,144-byte capture limit is never seen.
        {"300 KiB of log, JSON last", std::string(300 * 1024, 'l') + "\n{\"ok\":true,\"account\":\"late\"}", "\"\""},
        {"JSON first, then 300 KiB of log lines",
         "{\"ok\":true,\"account\":\"early\"}\n" + std::string(300 * 1024, 'l') + "\n", "\"early\""},
        // The line that the limit cuts through is dropped whole, not read
        // up to the cut (which would give the account "cut-thr").
        {"a JSON line cut by the limit",
         std::string(262144 - 30, 'l') + "\n{\"ok\":true,\"account\":\"cut-through\"}\n", "\"\""},
        {"no trailing newline", "{\"ok\":true,\"account\":\"nonl\"}", "\"nonl\""},
        {"trailing whitespace trimmed", "{\"ok\":true,\"account\":\"ws\"}\r\n\n \t\n", "\"ws\""},
        {"stderr only", "", "\"\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        w.login_tool({{"--status", Reply{c.output, 0, "{\"ok\":true,\"account\":\"stderr\"}\n"}}});
        e2e::Doc doc = status_doc(w.request("action=status"));
        EXPECT_EQ(doc.raw("account"), c.account);
        EXPECT_EQ(doc.raw("cli_present"), "true");
    }
}

TEST(StatusDocument, FilesThatAreNotPlainFiles) {
    E2E_POSIX_ONLY("FIFOs and symbolic links");
    const std::string token = "{\"access_token\":\"a\"}";
    const std::string big = token + std::string(8 * 1024 * 1024 - token.size(), ' ');
    struct Case {
        const char *why;
        std::function<void(World &)> make;  // creates auth.json
        const char *logged_in;
    } cases[] = {
        {"exactly 8 MiB is read", [&](World &w) { w.write("auth.json", big); }, "true"},
        {"one byte more is refused", [&](World &w) { w.write("auth.json", big + " "); }, "false"},
        {"a directory", [](World &w) { mkdir(w.path("auth.json").c_str(), 0755); }, "false"},
        {"a FIFO without a writer does not block", [](World &w) { mkfifo(w.path("auth.json").c_str(), 0644); }, "false"},
        {"a symlink loop", [](World &w) { symlink("auth.json", w.path("auth.json").c_str()); }, "false"},
        {"a symlink to a file", [](World &w) {
             w.write("real.json", "{\"access_token\":\"a\"}");
             symlink("real.json", w.path("auth.json").c_str());
         }, "true"},
        {"unreadable", [](World &w) {
             w.write("auth.json", "{\"access_token\":\"a\"}");
             chmod(w.path("auth.json").c_str(), 0);
         }, geteuid() == 0 ? "true" : "false"},  // root reads anything
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        e2e::NodeWorld w;
        c.make(w);
        e2e::Doc doc = status_doc(w.request("action=status"));
        EXPECT_EQ(doc.raw("logged_in"), c.logged_in);
    }
    // Markers of the same kinds: anything at the marker path is a marker.
    struct MarkerCase {
        const char *why;
        std::function<void(World &)> make;
    } markers[] = {
        {"directory", [](World &w) { mkdir(w.path("lumivane-default.json").c_str(), 0755); }},
        {"FIFO", [](World &w) { mkfifo(w.path("lumivane-default.json").c_str(), 0644); }},
        {"symlink loop", [](World &w) { symlink("lumivane-default.json", w.path("lumivane-default.json").c_str()); }},
    };
    for (const auto &m : markers) {
        SCOPED_TRACE(m.why);
        e2e::NodeWorld w;
        m.make(w);
        e2e::Doc doc = status_doc(w.request("action=status"));
        EXPECT_EQ(doc.raw("pending"), "true");
        EXPECT_EQ(doc.raw("pending_age_sec"), "(absent)");
    }
}

}  // namespace
