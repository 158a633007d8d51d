// Hostile input end to end: tools whose output is huge, binary, cut short or
// left open; a host that ignores SIGCHLD; sign-in files that are no plain
// files; tool commands full of shell syntax; requests that try to reach a
// command line; and secrets
// planted everywhere on the error paths. Every response is read with the
// strict JSON reader, and no run may write to standard error (a sanitizer
// build reports its findings there).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "harness.h"
#include "strict_json.h"

using e2e::ACCESS_SECRET;
using e2e::REFRESH_SECRET;
using e2e::Reply;
using e2e::Result;
using e2e::Doc;
using e2e::read_doc;
using e2e::World;

namespace {

// Why every case here is run natively only: they are built on FIFOs,
// symbolic links and shell scripts as tools.
const char HOSTILE_INPUT[] = "FIFOs, symbolic links and shell scripts as tools";

const std::string &SECRET_KEYS = e2e::SECRET_MEMBERS;
const std::string &CREDS = e2e::SECRET_CREDS;

TEST(HostileToolOutput, StatusReportShapes) {
    E2E_POSIX_ONLY(HOSTILE_INPUT);
    const std::string mib(1 << 20, 'a');
    struct Case {
        const char *why;
        std::string output;
        const char *account;    // what the document shows
        const char *logged_in;
    } cases[] = {
        // The capture stops at 256 KiB and the pipe is closed on the tool.
        {"10 MiB of output after the answer",
         "{\"ok\":true,\"account\":\"first\"}\n" + std::string(10 << 20, 'x'), "first", "false"},
        // The answer is read to its end: a NUL inside a string is one
        // character (U+FFFD), and the keys after it still count.
        {"NUL bytes inside the answer",
         "{\"ok\":true,\"account\":\"before" + std::string(1, '\0') + "after\",\"logged_in\":true}\n",
         "before\xEF\xBF\xBD" "after", "true"},
        // Of a line longer than a piece, the whole 2,047-byte pieces before
        // the 256 KiB limit are seen: a key in them is read, one after is not.
        {"a 1 MiB JSON line", "{\"ok\":true,\"logged_in\":true,\"pad\":\"" + mib + "\",\"account\":\"late\"}\n",
         "", "true"},
        {"a 1 MiB account value is cut to 255 bytes", "{\"ok\":true,\"account\":\"" + mib + "\"}",
         nullptr, "false"},
        {"binary noise and no newline at all", "\x01\xff\x7f{\"ok\":true,\"account\":\"no\"}\x1b[0m", "",
         "false"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        e2e::NodeWorld w({{"--status", Reply(c.output)}});
        Result r = w.request("action=status");
        Doc d = read_doc(r);
        ASSERT_TRUE(d.valid) << r.out.substr(0, 500);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(d["cli_present"], "true");
        EXPECT_EQ(d["account"], c.account ? std::string(c.account) : std::string(255, 'a'));
        EXPECT_EQ(d["logged_in"], c.logged_in);
    }
}

TEST(HostileHost, AHostThatIgnoresSigchld) {
    E2E_POSIX_ONLY("a signal disposition inherited across execve");
    // The plugin inherits SIGCHLD ignored, which would have the system reap
    // its tools and lose their exit status: it sets it back to the default.
    struct Case {
        const char *why;
        const char *query;
        std::map<std::string, Reply> login;
        const char *want;  // a text of the body
    } cases[] = {
        {"a --status that exits 127 is not installed", "action=status",
         {{"--status", Reply("{\"ok\":true,\"account\":\"wrapper\"}\n", 127)}},
         "\"cli_error\":\"cli_not_found\""},
        {"a --start that exits 127 is not installed", "action=start", {{"--start", Reply("", 127)}},
         "{\"ok\":false,\"error\":\"cli_unavailable\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        e2e::NodeWorld w(c.login);
        w.host_ignores_sigchld = true;
        Result r = w.request(c.query);
        EXPECT_NE(r.out.find(c.want), std::string::npos) << r.out;
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
    }
}

TEST(HostileToolOutput, StartAnswerWithOverlongOrEscapedTexts) {
    E2E_POSIX_ONLY(HOSTILE_INPUT);
    // A 1 MiB address or a 100-byte code is refused whole (never cut); one
    // that fits comes back escaped, and the document stays valid JSON.
    const std::string long_url = "https://login.invalid/" + std::string(1 << 20, 'u');
    const std::string long_code = std::string(100, 'C') + "\\u0001\\\"";
    const std::string url = "https://login.invalid/\\u0001\\\"<b>";
    const std::string code = std::string(50, 'C') + "\\u0001\\\"";
    struct Case {
        const char *why;
        std::string url, code;
        bool refused;
    } cases[] = {
        {"1 MiB address", long_url, code, true},
        {"100-byte code", url, long_code, true},
        {"both fit, with escapes", url, code, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        e2e::NodeWorld w({{"--start", Reply("{\"ok\":true,\"user_code\":\"" + c.code + "\",\"verify_url\":\"" + c.url +
                                        "\"}\n")}});
        Result r = w.request("action=start");
        Doc d = read_doc(r);
        ASSERT_TRUE(d.valid) << r.out.substr(0, 300);
        if (c.refused) {
            EXPECT_EQ(d["error"], "start_incomplete");
            EXPECT_EQ(r.exit_code, 1);
        } else {
            EXPECT_EQ(d["verify_url"], "https://login.invalid/\x01\"<b>");
            EXPECT_EQ(d["user_code"], std::string(50, 'C') + "\x01\"");
            EXPECT_EQ(r.exit_code, 0);
        }
    }
}

TEST(HostileFiles, NoneBlocksAndEachHasOneOutcome) {
    E2E_POSIX_ONLY(HOSTILE_INPUT);
    const std::string created = "{\"created\":4102444800}";  // in the future: not pending, age < 0
    const std::string eight_mib_marker = created + std::string((8 << 20) - created.size(), ' ');
    struct Case {
        const char *why;
        std::function<void(World &)> make;  // under HOME = the world's directory
        const char *logged_in, *pending, *pending_age, *profile_exists;
    } cases[] = {
        {"fallback token file is a FIFO",
         [](World &w) { mkfifo(w.path(".lumivane/token.json").c_str(), 0644); }, "false", "false", "(absent)", "false"},
        {"fallback token file is a directory",
         [](World &w) { mkdir(w.path(".lumivane/token.json").c_str(), 0755); }, "false", "false", "(absent)", "false"},
        {"fallback token file is a symlink loop",
         [](World &w) { symlink("token.json", w.path(".lumivane/token.json").c_str()); }, "false", "false", "(absent)",
         "false"},
        {"credentials path is a character device",
         [](World &w) { symlink("/dev/zero", w.path(".config/lumivane/auth.json").c_str()); }, "false", "false",
         "(absent)", "false"},
        // A marker that exists but cannot be read counts as a login under way
        // of unknown age.
        {"pending marker is a FIFO",
         [](World &w) { mkfifo(w.path(".zodizi/.login-pending/lumivane-default.json").c_str(), 0644); }, "false",
         "true", "(absent)", "false"},
        {"pending marker at the 8 MiB cap is read",
         [&](World &w) { w.write(".zodizi/.login-pending/lumivane-default.json", eight_mib_marker); }, "false",
         "false", "(absent)", "false"},
        {"pending marker one byte over the cap is not",
         [&](World &w) { w.write(".zodizi/.login-pending/lumivane-default.json", eight_mib_marker + " "); },
         "false", "true", "(absent)", "false"},
        // Anything at the profile marker path is the profile.
        {"profile marker is a FIFO",
         [](World &w) { mkfifo(w.path(".zodizi/vantorel-env/grandlumivane.txt").c_str(), 0644); }, "false", "false",
         "(absent)", "true"},
        {"profile marker is a symlink loop",
         [](World &w) { symlink("grandlumivane.txt", w.path(".zodizi/vantorel-env/grandlumivane.txt").c_str()); },
         "false", "false", "(absent)", "true"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        e2e::NodeWorld w;
        w.env["HOME"] = w.dir;
        for (const char *d : {".lumivane", ".config/lumivane", ".zodizi/.login-pending", ".zodizi/vantorel-env"})
            w.write(std::string(d) + "/.keep", "");
        c.make(w);
        Result r = w.request("action=status");
        Doc d = read_doc(r);
        ASSERT_TRUE(d.valid) << r.out;
        EXPECT_EQ(d["logged_in"], c.logged_in);
        EXPECT_EQ(d["pending"], c.pending);
        EXPECT_EQ(d["pending_age_sec"], c.pending_age);
        EXPECT_EQ(d["profile_exists"], c.profile_exists);
        EXPECT_EQ(r.err, "");
    }
}

// Tool commands whose text is shell syntax: each is one program's path,
// never read by a shell. With the tool at that path, it runs; without it,
// it is not found; in both cases the injected `touch pwned` never runs.
TEST(HostileToolCommands, EveryShellSyntaxIsOneQuotedWord) {
    E2E_POSIX_ONLY(HOSTILE_INPUT);
    const char *const names[] = {
        "it's",         "say \"touch pwned\"", "$(touch pwned)", "`touch pwned`",
        "x;touch pwned", "x|touch pwned",      "x\ntouch pwned", "with spaces && touch pwned",
    };
    for (const char *name : names) {
        for (bool installed : {true, false}) {
            SCOPED_TRACE(std::string(name) + (installed ? " (installed)" : " (missing)"));
            World w;
            std::string login = w.path(std::string("bin/") + name + " login");
            std::string token = w.path(std::string("bin/") + name + " token");
            if (installed) {
                w.script(login, "echo '{\"ok\":true,\"account\":\"ran\"}'\n");
                w.script(token, "echo usage\n");
            }
            w.env["LUMIVANE_LOGIN_BIN"] = login;
            w.env["LUMIVANE_TOKEN_BIN"] = token;
            Result r = w.request("action=status");
            Doc d = read_doc(r);
            ASSERT_TRUE(d.valid) << r.out;
            EXPECT_EQ(d["cli_present"], installed ? "true" : "false");
            EXPECT_EQ(d["token_cli_present"], installed ? "true" : "false");
            EXPECT_EQ(d["account"], installed ? "ran" : "");
            EXPECT_EQ(d["cli_error"], installed ? "(absent)" : "cli_not_found");
            EXPECT_FALSE(w.exists("pwned"));
            EXPECT_FALSE(w.exists("bin/pwned"));
        }
    }
}

TEST(HostileRequests, NothingFromTheRequestReachesACommandLine) {
    E2E_POSIX_ONLY(HOSTILE_INPUT);
    // Each tool logs its exact argument vector, one bracketed word each.
    const std::string inject = "$(touch pwned)`touch pwned`;touch pwned|touch pwned'\"\n --force";
    struct Case {
        std::string query;
        std::vector<std::string> login, token;  // expected argument vectors, in order
    } cases[] = {
        {"action=status&x=" + inject, {"[--status]"}, {"[--help]"}},
        {"action=start&force=" + inject + "&node=" + inject, {"[--status]", "[--start][--force]"}, {}},
        {"action=start&forced=1&" + inject, {"[--status]", "[--start]"}, {}},
        {"action=poll&id=" + inject, {"[--status]", "[--poll]"}, {}},
        {"action=cancel&" + inject, {"[--status]", "[--cancel]", "[--status]"}, {"[--help]"}},
        {"action=refresh&force&" + inject, {"[--status]"}, {"[--help]", "[-local]"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query);
        World w;
        w.write("auth.json", CREDS);
        w.env["LUMIVANE_CREDS_PATH"] = w.path("auth.json");
        w.env["HTTP_X_BOT_PASSWORD"] = inject;
        w.env["HTTP_AUTHORIZATION"] = "Bearer " + inject;
        const std::string log_args = "for a in \"$@\"; do printf '[%s]' \"$a\"; done >> \"$0.argv\"; echo >> \"$0.argv\"\n";
        w.env["LUMIVANE_LOGIN_BIN"] = w.script("bin/login", log_args +
            "case \"$1\" in --start) echo '{\"ok\":true,\"verify_url\":\"https://v.invalid\",\"user_code\":\"C\"}';;"
            " --poll) echo '{\"ok\":true,\"state\":\"pending\"}';; *) echo '{\"ok\":true}';; esac\n");
        w.env["LUMIVANE_TOKEN_BIN"] = w.script("bin/token", log_args + "echo '{\"access_token\":\"t\"}'\n");
        Result r = w.request(c.query);
        EXPECT_TRUE(read_doc(r).valid) << r.out;
        EXPECT_EQ(r.err, "");
        auto lines = [&](const std::string &rel) {
            std::vector<std::string> out;
            std::string text = w.read(rel);
            for (size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
                out.push_back(text.substr(at, nl - at));
            return out;
        };
        std::vector<std::string> token_runs = lines("bin/token.argv");
        std::sort(token_runs.begin(), token_runs.end());  // the --help probe runs alongside
        std::vector<std::string> want_token = c.token;
        std::sort(want_token.begin(), want_token.end());
        EXPECT_EQ(lines("bin/login.argv"), c.login);
        EXPECT_EQ(token_runs, want_token);
        EXPECT_FALSE(w.exists("pwned"));
    }
}

TEST(HostileRequests, EveryByteFrom01ToFFEverywhere) {
    E2E_POSIX_ONLY(HOSTILE_INPUT);
    std::string all;
    for (int b = 1; b < 256; b++) all += (char)b;
    std::string file_name;  // every byte a file name may hold
    for (char ch : all)
        if (ch != '/') file_name += ch;
    // As JSON string content: quote and backslash escaped, the rest raw.
    std::string in_json;
    for (char ch : all) in_json += (ch == '"' || ch == '\\') ? std::string("\\") + ch : std::string(1, ch);

    World w;
    std::string creds = w.path(file_name);
    w.write(creds, "{\"access_token\":\"a\",\"org_id\":\"" + in_json + "\"}");
    w.env["LUMIVANE_CREDS_PATH"] = creds;
    w.env["LUMIVANE_PENDING_PATH"] = w.path("p" + file_name);
    w.env["HTTP_X_BOT_PASSWORD"] = all;
    w.env["HTTP_AUTHORIZATION"] = all;
    w.env["BOT_PASSWORD"] = all;
    w.login_tool({{"--status", Reply("{\"ok\":false,\"error\":\"" + in_json + "\"}\n")}});
    w.token_tool({});
    Result r = w.request("action=status&node=" + all);
    Doc d = read_doc(r);
    ASSERT_TRUE(d.valid) << r.out;
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    // Bytes from 0x80 up, none of which completes a character here, come
    // out as U+FFFD each: the document is UTF-8 (read_doc checks that).
    EXPECT_EQ(d["path"], reference_utf8_repair(creds));
    EXPECT_EQ(d["org_id"], reference_utf8_repair(all.substr(0, 255)));
    EXPECT_EQ(d["account"], reference_utf8_repair(all.substr(0, 255)));
    EXPECT_EQ(d["cli_error"], reference_utf8_repair(all));  // 255 bytes fit the 511 kept
    EXPECT_EQ(d["org_id"].substr(127, 6), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(d["logged_in"], "true");
}

// The error paths, each in a world where the secrets lie in the credentials
// file, the fallback token file, the pending marker, and every tool's
// output (as JSON keys, as loose lines and on standard error).
TEST(Secrets, NeverInAnyErrorResponse) {
    E2E_POSIX_ONLY(HOSTILE_INPUT);
    const std::string loose = std::string(ACCESS_SECRET) + "\n" + REFRESH_SECRET + "\n";
    struct Case {
        const char *why;
        std::string query;
        std::function<void(World &)> tools;
        int exit_code;
        const char *first_line;  // "" for none: the JSON header opens the response
    } cases[] = {
        {"401: no password", "action=status", [](World &w) { w.env["BOT_PASSWORD"] = "node"; }, 0,
         "Status: 401 Unauthorized"},
        {"401 for the page", "", [](World &w) { w.env["BOT_PASSWORD"] = "node"; }, 0, "Status: 401 Unauthorized"},
        {"400: unknown action", "action=leak", [](World &) {}, 1, "Status: 400 Bad Request"},
        {"start: login tool missing", "action=start",
         [](World &w) { w.env["LUMIVANE_LOGIN_BIN"] = w.path("bin/absent"); }, 0, "Status: 200 OK"},
        {"start: no JSON", "action=start",
         [&](World &w) { w.login_tool({{"--status", Reply("{\"ok\":true," + SECRET_KEYS + "}\n")}}, Reply(loose, 0, loose)); },
         1, "Status: 502 Bad Gateway"},
        {"start: incomplete answer", "action=start",
         [&](World &w) { w.login_tool({}, Reply("{\"ok\":true," + SECRET_KEYS + "}\n" + loose, 0, loose)); }, 1,
         "Status: 502 Bad Gateway"},
        {"start: the tool's own failure", "action=start",
         [&](World &w) {
             w.login_tool({}, Reply("{\"ok\":false,\"error\":\"denied\",\"detail\":\"no\"," + SECRET_KEYS + "}\n" + loose, 3, loose));
         },
         0, "Status: 200 OK"},
        {"poll: failed", "action=poll",
         [&](World &w) { w.login_tool({}, Reply("{\"ok\":false,\"error\":\"expired\"," + SECRET_KEYS + "}\n" + loose, 1, loose)); },
         0, ""},
        {"cancel: refused", "action=cancel",
         [&](World &w) { w.login_tool({}, Reply("{\"ok\":false," + SECRET_KEYS + "}\n" + loose, 0, loose)); }, 0,
         "Status: 200 OK"},
        {"refresh: token tool missing", "action=refresh",
         [](World &w) { w.env["LUMIVANE_TOKEN_BIN"] = w.path("bin/absent"); }, 0, "Status: 200 OK"},
        {"refresh: no token in the answer", "action=refresh",
         [&](World &w) { w.token_tool({}, Reply("{\"ok\":true,\"refresh_token\":\"" + std::string(REFRESH_SECRET) + "\"}\n" + loose, 0, loose)); },
         1, "Status: 200 OK"},
        {"refresh: token answer without JSON", "action=refresh",
         [&](World &w) { w.token_tool({}, Reply(loose, 0, loose)); }, 1, "Status: 200 OK"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        w.env["HOME"] = w.dir;
        w.write(".config/lumivane/auth.json", CREDS);
        w.write(".lumivane/token.json", CREDS);
        w.write(".zodizi/.login-pending/lumivane-default.json", "{\"created\":1," + SECRET_KEYS + "}");
        w.login_tool({}, Reply("{\"ok\":true," + SECRET_KEYS + "}\n" + loose, 0, loose));
        w.token_tool({}, Reply("{\"ok\":true," + SECRET_KEYS + "}\n" + loose, 0, loose));
        c.tools(w);
        Result r = w.request(c.query);
        EXPECT_EQ(r.exit_code, c.exit_code);
        if (*c.first_line) {
            EXPECT_EQ(r.out.substr(0, r.out.find("\r\n")), c.first_line);
        } else {
            EXPECT_EQ(r.out.rfind(e2e::JSON_HEADER, 0), 0u);
        }
        EXPECT_TRUE(read_doc(r).valid) << r.out;
        e2e::expect_no_secret(r);
    }
}

}  // namespace
