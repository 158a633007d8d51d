// The rules of starting a tool without a shell, on text: the environment
// filter, the search path (POSIX and Windows rules), the Windows command
// lines.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/limits.h"
#include "platform/tool_launch.h"

namespace {

TEST(ToolEnvironment, RequestVariablesAndThePasswordStayBehind) {
    struct Case {
        const char *entry;
        int posix, windows;  // passes with exact names / with names in any case
    } cases[] = {
        {"PATH=/usr/bin", 1, 1},
        {"HOME=/root", 1, 1},
        {"LUMIVANE_LOGIN_BIN=/opt/login", 1, 1},
        {"SystemRoot=C:\\Windows", 1, 1},
        {"TEMP=C:\\Temp", 1, 1},
        {"HTTP_PROXY=http://evil:3128", 0, 0},       // a "Proxy:" request header
        {"HTTP_AUTHORIZATION=Bearer x", 0, 0},
        {"HTTP_X_BOT_PASSWORD=x", 0, 0},
        {"HTTP_=", 0, 0},                            // the prefix alone is a request header name too
        {"QUERY_STRING=pwd=x", 0, 0},
        {"BOT_PASSWORD=x", 0, 0},
        {"http_proxy=http://host-set:3128", 1, 0},   // POSIX: the host's own, not a request's
        {"Query_String=x", 1, 0},
        {"bot_password=x", 1, 0},
        // The CGI meta-variables and the server extensions: hosts copy the
        // query (pwd= included) into several of them.
        {"REQUEST_URI=/plugin?pwd=x", 0, 0},
        {"REDIRECT_URI=/plugin?pwd=x", 0, 0},
        {"REDIRECT_QUERY_STRING=pwd=x", 0, 0},       // REDIRECT_* is a prefix
        {"CONTENT_TYPE=text/x", 0, 0},               // from a request header
        {"CONTENT_LENGTH=5", 0, 0},
        {"AUTH_TYPE=Basic", 0, 0},
        {"GATEWAY_INTERFACE=CGI/1.1", 0, 0},
        {"PATH_INFO=/x", 0, 0},
        {"PATH_TRANSLATED=/srv/x", 0, 0},
        {"REMOTE_ADDR=127.0.0.1", 0, 0},
        {"REMOTE_USER=op", 0, 0},
        {"REQUEST_METHOD=GET", 0, 0},
        {"SCRIPT_NAME=/plugin", 0, 0},
        {"SERVER_PORT=8080", 0, 0},
        {"SERVER_SOFTWARE=lighttpd", 0, 0},
        {"SCRIPT_FILENAME=/srv/plugin", 0, 0},
        {"SCRIPT_URI=http://h/plugin?pwd=x", 0, 0},
        {"SCRIPT_URL=/plugin", 0, 0},
        {"DOCUMENT_ROOT=/srv", 0, 0},
        {"DOCUMENT_URI=/plugin", 0, 0},
        {"REQUEST_SCHEME=http", 0, 0},
        {"HTTPS=on", 0, 0},
        {"CONTEXT_PREFIX=/", 0, 0},
        {"CONTEXT_DOCUMENT_ROOT=/srv", 0, 0},
        {"UNIQUE_ID=abc", 0, 0},
        {"AUTH_PASSWORD=x", 0, 0},                   // IIS: a Basic password
        {"AUTH_USER=op", 0, 0},
        {"LOGON_USER=op", 0, 0},
        {"REMOTE_=", 0, 0},                          // a prefix alone names it too
        {"request_uri=x", 1, 0},                     // Windows names have no case
        {"Redirect_Url=x", 1, 0},
        {"server_name=x", 1, 0},
        {"HTTP=1", 1, 1},                            // not the prefix
        {"HTTPS_PROXY=http://host-set", 1, 1},       // no request header makes HTTPS_*
        {"HTTPSX=1", 1, 1},                          // HTTPS is a whole name
        {"REQUEST_URIS=1", 1, 1},
        {"REMOTE=1", 1, 1},
        {"SERVER=1", 1, 1},
        {"CONTEXT=1", 1, 1},
        {"AUTH_TYPES=1", 1, 1},
        {"PATH=/bin", 1, 1},
        {"QUERY_STRING_X=1", 1, 1},
        {"XBOT_PASSWORD=1", 1, 1},
        // What host modules derive from the request: client certificates
        // and TLS sessions, sign-on claims and tokens, the client's place,
        // the HTTP/2 stream, IIS's raw request.
        {"SSL_CLIENT_S_DN=CN=op", 0, 0},             // mod_ssl
        {"SSL_CLIENT_CERT=-----BEGIN", 0, 0},
        {"SSL_SESSION_ID=ab12", 0, 0},
        {"SSL_TLS_SNI=node", 0, 0},
        {"SSL_CERT_FILE=/etc/ca.pem", 1, 1},         // OpenSSL's trust file, the operator's
        {"SSL_CERT_DIR=/etc/certs", 1, 1},
        {"SSL_CERT_FILES=x", 0, 0},                  // kept names are whole names
        {"ssl_cert_file=/etc/ca.pem", 1, 1},
        {"OIDC_access_token=eyJ", 0, 0},             // mod_auth_openidc
        {"OIDC_CLAIM_email=op@x", 0, 0},
        {"oidc_access_token=eyJ", 1, 0},
        {"MELLON_NAME_ID=op", 0, 0},                 // mod_auth_mellon
        {"AUTHENTICATE_UID=op", 0, 0},               // mod_authnz_ldap
        {"AUTHORIZE_MEMBEROF=ops", 0, 0},
        {"GEOIP_COUNTRY_CODE=NL", 0, 0},             // mod_geoip
        {"HTTP2=on", 0, 0},                          // mod_http2
        {"H2PUSH=on", 0, 0},
        {"H2_STREAM_ID=3", 0, 0},
        {"H2=1", 1, 1},                              // not a mod_http2 name
        {"CERT_SUBJECT=CN=op", 0, 0},                // IIS
        {"CERT_COOKIE=ab", 0, 0},
        {"CRYPT_PROTOCOL=400", 0, 0},
        {"HTTPS_KEYSIZE=256", 0, 0},
        {"HTTPS_SERVER_SUBJECT=CN=node", 0, 0},
        {"ALL_HTTP=HTTP_X_BOT_PASSWORD:x", 0, 0},
        {"ALL_RAW=X-Bot-Password: x", 0, 0},
        {"URL=/plugin", 0, 0},
        {"UNENCODED_URL=/plugin?pwd=x", 0, 0},
        {"CACHE_URL=/plugin?pwd=x", 0, 0},
        {"LOCAL_ADDR=10.0.0.1", 0, 0},
        {"INSTANCE_META_PATH=/LM/W3SVC/1", 0, 0},
        {"APPL_PHYSICAL_PATH=C:\\inetpub", 0, 0},
        {"IIS_WasUrlRewritten=1", 0, 0},
        {"unencoded_url=x", 1, 0},
        {"all_http=x", 1, 0},
        {"REQUEST_ID=ab", 0, 0},                     // nginx's $request_id
        {"SCRIPT_TRANSLATED=/srv/x", 0, 0},
        {"URLS=1", 1, 1},                            // URL is a whole name
        {"LOCALAPPDATA=C:\\Users\\op", 1, 1},
        {"CERT=1", 1, 1},
        {"=C:=C:\\work", 1, 1},                      // Windows' per-drive directory
        {"NOEQUALS", 1, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.entry);
        EXPECT_EQ(tool_env_passes(c.entry, 0), c.posix);
        EXPECT_EQ(tool_env_passes(c.entry, 1), c.windows);
    }
}

int in_set(const char *path, void *ctx) { return ((std::set<std::string> *)ctx)->count(path) != 0; }

TEST(ToolSearch, PosixRules) {
    const ToolSearchRules posix = {':', '/', 1, nullptr};
    struct Case {
        const char *why, *search;
        std::set<std::string> files;
        const char *found;  // "" when not found
    } cases[] = {
        {"first entry that has it", "/a:/b:/c", {"/b/tool", "/c/tool"}, "/b/tool"},
        {"a trailing slash is not doubled", "/a/:/b", {"/a/tool"}, "/a/tool"},
        {"an empty entry is the working directory", "/a::/b", {"tool", "/b/tool"}, "tool"},
        {"a trailing empty entry too", "/a:", {"tool"}, "tool"},
        {"nowhere", "/a:/b", {"/c/tool"}, ""},
        {"empty list: the working directory", "", {"tool"}, "tool"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        std::set<std::string> files = c.files;
        char out[PATH_CAP];
        EXPECT_EQ(tool_search("tool", c.search, &posix, in_set, &files, out, sizeof out), c.found[0] ? 1 : 0);
        EXPECT_STREQ(out, c.found);
    }
}

TEST(ToolSearch, WindowsRulesWithPathext) {
    const char *exts = ".COM;.EXE;.BAT;.CMD";
    const ToolSearchRules windows = {';', '\\', 0, exts};
    struct Case {
        const char *why, *name, *search;
        std::set<std::string> files;
        const char *found;
    } cases[] = {
        {"npm's .cmd shim", "login", "C:\\npm;C:\\bin", {"C:\\npm\\login.cmd", "C:\\npm\\login.CMD"}, "C:\\npm\\login.CMD"},
        {"extensions in PATHEXT order", "login", "C:\\a", {"C:\\a\\login.BAT", "C:\\a\\login.EXE"}, "C:\\a\\login.EXE"},
        {"entries before extensions", "login", "C:\\a;C:\\b", {"C:\\a\\login.CMD", "C:\\b\\login.EXE"}, "C:\\a\\login.CMD"},
        {"a name without extension is never tried bare", "login", "C:\\a", {"C:\\a\\login"}, ""},
        {"a name with an extension is tried as given first", "login.exe", "C:\\a",
         {"C:\\a\\login.exe", "C:\\a\\login.exe.EXE"}, "C:\\a\\login.exe"},
        {"empty entries are skipped", "login", ";;C:\\a;", {"login.EXE", "C:\\a\\login.EXE"}, "C:\\a\\login.EXE"},
        {"a quoted entry", "login", "\"C:\\Program Files\\lv\"", {"C:\\Program Files\\lv\\login.EXE"},
         "C:\\Program Files\\lv\\login.EXE"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        std::set<std::string> files = c.files;
        char out[PATH_CAP];
        EXPECT_EQ(tool_search(c.name, c.search, &windows, in_set, &files, out, sizeof out), c.found[0] ? 1 : 0);
        EXPECT_STREQ(out, c.found);
    }
}

TEST(ToolSearch, ACandidateThatDoesNotFitIsSkipped) {
    const ToolSearchRules posix = {':', '/', 1, nullptr};
    std::set<std::string> files = {"/long-directory/tool", "/b/tool"};
    char out[10];  // "/b/tool" fits, the first does not
    EXPECT_EQ(tool_search("tool", "/long-directory:/b", &posix, in_set, &files, out, sizeof out), 1);
    EXPECT_STREQ(out, "/b/tool");
}

TEST(WindowsCommandLine, DirectStartQuotesThePathAndEachArgument) {
    struct Case {
        const char *why, *path;
        std::vector<const char *> args;
        const char *line;  // "" when refused
    } cases[] = {
        {"fixed options", "C:\\lv\\login.exe", {"--start", "--force"}, "\"C:\\lv\\login.exe\" --start --force"},
        {"'%' in the path is only a byte", "C:\\100%\\login.exe", {"--status"}, "\"C:\\100%\\login.exe\" --status"},
        {"a space in the path", "C:\\Program Files\\login.exe", {}, "\"C:\\Program Files\\login.exe\""},
        {"an argument with a space and a quote", "t.exe", {"a b\"c"}, "\"t.exe\" \"a b\\\"c\""},
        {"backslashes before the closing quote are doubled", "t.exe", {"a b\\"}, "\"t.exe\" \"a b\\\\\""},
        {"an empty argument", "t.exe", {""}, "\"t.exe\" \"\""},
        {"a quote in the path cannot be written", "C:\\a\"b.exe", {}, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        char out[256];
        int r = tool_direct_command_line(c.path, c.args.data(), (int)c.args.size(), out, sizeof out);
        EXPECT_EQ(r, c.line[0] ? 1 : 0);
        EXPECT_STREQ(out, c.line);
    }
}

TEST(WindowsCommandLine, BatchFilesThroughCmd) {
    const char *cmd = "C:\\Windows\\system32\\cmd.exe";
    struct Case {
        const char *why, *path;
        std::vector<const char *> args;
        const char *line;
    } cases[] = {
        {"a .cmd shim", "C:\\npm\\login.cmd", {"--start", "--force"},
         "\"C:\\Windows\\system32\\cmd.exe\" /d /v:off /s /c \"\"C:\\npm\\login.cmd\" --start --force\""},
        {"spaces and cmd operators stay inside the quotes", "C:\\a&b (x)\\t.bat", {"-local"},
         "\"C:\\Windows\\system32\\cmd.exe\" /d /v:off /s /c \"\"C:\\a&b (x)\\t.bat\" -local\""},
        {"'%' would be expanded", "C:\\100%\\login.cmd", {"--status"}, ""},
        {"a quote would end the word", "C:\\a\"b.cmd", {"--status"}, ""},
        {"a control byte could end the line", "C:\\a\nb.cmd", {"--status"}, ""},
        {"an option cmd would read", "C:\\t.cmd", {"a&b"}, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        char out[256];
        int r = tool_batch_command_line(cmd, c.path, c.args.data(), (int)c.args.size(), out, sizeof out);
        EXPECT_EQ(r, c.line[0] ? 1 : 0);
        EXPECT_STREQ(out, c.line);
    }
    EXPECT_EQ(tool_is_batch("C:\\x\\LOGIN.CMD"), 1);
    EXPECT_EQ(tool_is_batch("login.Bat"), 1);
    EXPECT_EQ(tool_is_batch("login.exe"), 0);
    EXPECT_EQ(tool_is_batch("cmd"), 0);
}

}  // namespace
