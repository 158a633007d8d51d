// Request handling end to end: command-line answers, routing, the node
// password check and the fixed error documents, byte for byte.
#include <gtest/gtest.h>

#include "harness.h"
#include "strict_json.h"

using e2e::Reply;
using e2e::Result;
using e2e::read_doc;
using e2e::World;

namespace {

const char META[] = "{\"name\":\"lumivane\",\"desc\":\"LumiVane login\"}\n";
const char VERSION[] = "plugin_lumivane_login 1.0.0\n";
const std::string UNAUTHORIZED =
    std::string("Status: 401 Unauthorized\r\n") + e2e::JSON_HEADER +
    "{\"ok\":false,\"error\":\"invalid node password\"}\n";
const std::string UNKNOWN_ACTION =
    std::string("Status: 400 Bad Request\r\n") + e2e::JSON_HEADER +
    "{\"ok\":false,\"error\":\"unknown_action\",\"detail\":\"expected status, start, poll, cancel or refresh\"}\n";

bool is_page(const Result &r) { return r.out.rfind("Content-Type: text/html", 0) == 0; }
bool is_status_doc(const Result &r) {
    return r.out.rfind(std::string(e2e::JSON_HEADER) + "{\"ok\":true,\"provider\":\"lumivane\"", 0) == 0;
}

TEST(CommandLine, DiscoveryAnswers) {
    struct Case {
        std::vector<std::string> args;
        bool meta_env;
        std::string expected;  // empty: a request is served instead
    } cases[] = {
        {{"--meta"}, false, META},
        {{"--meta", "--version", "x"}, false, META},  // only the first argument counts
        {{"--version"}, false, VERSION},
        {{"-v"}, false, VERSION},
        {{"--version"}, true, META},  // the variable wins over --version
        {{}, true, META},
        {{"--metadata"}, false, ""},
        {{"--meta=1"}, false, ""},
        {{"-meta"}, false, ""},
        {{"-V"}, false, ""},
        {{"--Version"}, false, ""},
        {{"x", "--meta"}, false, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE((c.args.empty() ? std::string("(none)") : c.args[0]) + (c.meta_env ? " +VN_PLUGIN_META" : ""));
        World w;
        w.env["BOT_PASSWORD"] = "secret";  // discovery needs no password
        if (c.meta_env) w.env["VN_PLUGIN_META"] = "";
        Result r = w.run(c.args);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        if (c.expected.empty()) {
            EXPECT_EQ(r.out, UNAUTHORIZED);  // it went on to serve a request
        } else {
            EXPECT_EQ(r.out, c.expected);
        }
    }
}

TEST(Routing, QueryDecidesPageActionOrError) {
    enum Expect { PAGE, STATUS, START, POLL, UNKNOWN };
    struct Case {
        const char *query;
        Expect expect;
    } cases[] = {
        {"", PAGE},
        {"Action=start", PAGE},          // names are case-sensitive
        {"actions=start", PAGE},         // a longer name is another parameter
        {"node=n&id=3", PAGE},
        {"format=html", STATUS},         // format alone means a document
        {"format", STATUS},
        {"action=", STATUS},
        {"action", STATUS},
        {"action=status&format=json", STATUS},
        {"action=&action=start", STATUS},  // the first action= decides
        {"action&action=start", START},    // a bare name holds no value
        {"&&action=start", START},         // empty segments are passed over
        {"x=1&action=poll", POLL},
        {"action=START", UNKNOWN},
        {"action=st%61rt", UNKNOWN},        // no percent-decoding
        {"action=status ", UNKNOWN},
        {"action=startstartstartstartstartstartstartstartstartstartstartstartstart", UNKNOWN},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query);
        World w;
        // The login tool is absent, so start and poll answer cli_unavailable.
        Result r = w.request(c.query);
        EXPECT_EQ(r.err, "");
        switch (c.expect) {
            case PAGE: EXPECT_TRUE(is_page(r)) << r.out.substr(0, 80); EXPECT_EQ(r.exit_code, 0); break;
            case STATUS: EXPECT_TRUE(is_status_doc(r)) << r.out; EXPECT_EQ(r.exit_code, 0); break;
            case START:
            case POLL:
                EXPECT_NE(r.out.find("\"error\":\"cli_unavailable\""), std::string::npos) << r.out;
                EXPECT_EQ(r.exit_code, 0);
                break;
            case UNKNOWN: EXPECT_EQ(r.out, UNKNOWN_ACTION); EXPECT_EQ(r.exit_code, 1); break;
        }
    }
}

TEST(Routing, AbsentQueryStringGivesThePage) {
    World w;
    Result r = w.run();
    EXPECT_TRUE(is_page(r));
    EXPECT_EQ(r.exit_code, 0);
}

TEST(NodePassword, ThreeWaysInOrder) {
    const std::string pw = "s3cret pass";
    const std::string pw255(255, 'p');
    const std::string pw256 = pw255 + "q";
    const std::string pw4000(4000, 'w');
    struct Case {
        const char *why;
        std::string password;
        const char *header;  // null: unset
        const char *auth;
        std::string query;
        bool pass;
    } cases[] = {
        {"no password set", "", nullptr, nullptr, "action=status", true},
        {"no credentials", pw, nullptr, nullptr, "action=status", false},
        {"page needs it too", pw, nullptr, nullptr, "", false},
        {"header", pw, "s3cret pass", "Basic x", "action=status&pwd=wrong", true},
        {"header differs in case", pw, "S3cret pass", nullptr, "action=status", false},
        {"wrong header, right pwd", "abc", "nope", nullptr, "action=status&pwd=abc", true},
        {"bearer", pw, nullptr, "Bearer s3cret pass", "action=status", true},
        {"bearer lower case, spaces", pw, nullptr, "  bearer    s3cret pass", "action=status", true},
        {"bearer upper case", pw, nullptr, "BEARER s3cret pass", "action=status", true},
        {"tab before scheme", pw, nullptr, "\tBearer s3cret pass", "action=status", false},
        {"tab after scheme", pw, nullptr, "Bearer\ts3cret pass", "action=status", false},
        {"space after password", pw, nullptr, "Bearer s3cret pass ", "action=status", false},
        {"other scheme", pw, nullptr, "Basic s3cret pass", "action=status", false},
        {"scheme alone", pw, nullptr, "Bearer ", "action=status", false},
        {"password without the scheme word", pw, nullptr, "s3cret pass", "action=status", true},
        {"spaces, then the password alone", pw, nullptr, "   s3cret pass", "action=status", true},
        {"tab, then the password alone", pw, nullptr, "\ts3cret pass", "action=status", false},
        {"bearer fails, pwd passes", "abc", nullptr, "Basic abc", "action=status&pwd=abc", true},
        {"pwd", "abc", nullptr, nullptr, "pwd=abc&action=status", true},
        {"pwd empty", "abc", nullptr, nullptr, "pwd=&action=status", false},
        {"pwd percent-decoded", "a b", nullptr, nullptr, "pwd=a%20b&action=status", true},
        {"space, plus and ampersand encoded", "pa ss+w&rd", nullptr, nullptr, "pwd=pa%20ss%2Bw%26rd&action=status", true},
        {"UTF-8 encoded by the browser", "caf\xc3\xa9", nullptr, nullptr, "pwd=caf%C3%A9&action=status", true},
        {"lower-case hex digits", "caf\xc3\xa9", nullptr, nullptr, "pwd=caf%c3%a9&action=status", true},
        {"only some bytes encoded", "a&b", nullptr, nullptr, "pwd=%61%26b&action=status", true},
        {"'+' is no space", "a b", nullptr, nullptr, "pwd=a+b&action=status", false},
        {"decoded once only", "A", nullptr, nullptr, "pwd=%2541&action=status", false},
        {"a password holding an escape passes as given", "x%41y", nullptr, nullptr, "pwd=x%41y&action=status", true},
        {"... and encoded", "x%41y", nullptr, nullptr, "pwd=x%2541y&action=status", true},
        {"'%' without two hex digits stands for itself", "50%z", nullptr, nullptr, "pwd=50%z&action=status", true},
        {"'%' at the end", "50%", nullptr, nullptr, "pwd=50%&action=status", true},
        {"an encoded NUL never passes", "a", nullptr, nullptr, "pwd=a%00&action=status", false},
        {"decoded value longer than the password", "ab", nullptr, nullptr, "pwd=%61%62%63&action=status", false},
        {"only the first pwd counts", "abc", nullptr, nullptr, "pwd=x&pwd=abc&action=status", false},
        {"pwd of 255 bytes", pw255, nullptr, nullptr, "pwd=" + pw255 + "&action=status", true},
        {"pwd compared whole, not cut", pw255, nullptr, nullptr, "pwd=" + pw255 + "zzz&action=status", false},
        {"password of 256 bytes via pwd", pw256, nullptr, nullptr, "pwd=" + pw256 + "&action=status", true},
        {"password of 4,000 bytes via pwd", pw4000, nullptr, nullptr, "pwd=" + pw4000 + "&action=status", true},
        {"a 4,000-byte pwd one byte short", pw4000, nullptr, nullptr, "pwd=" + pw4000.substr(1) + "&action=status", false},
        {"password of 256 bytes via header", pw256, pw256.c_str(), nullptr, "action=status", true},
        {"header percent-encoded, as a browser must send a password beyond ASCII",
         "p\xc3\xa4 ss&w", "p%C3%A4%20ss%26w", nullptr, "action=status", true},
        {"header with a '%' passes as given", "x%41y", "x%41y", nullptr, "action=status", true},
        {"header decoded once only", "A", "%2541", nullptr, "action=status", false},
        {"'+' in the header is no space", "a b", "a+b", nullptr, "action=status", false},
        {"prefix of the password", "abcdef", "abc", nullptr, "action=status", false},
        {"longer than the password", "abc", "abcd", nullptr, "action=status", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        w.env["BOT_PASSWORD"] = c.password;
        if (c.header) w.env["HTTP_X_BOT_PASSWORD"] = c.header;
        if (c.auth) w.env["HTTP_AUTHORIZATION"] = c.auth;
        Result r = w.request(c.query);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        if (c.pass) {
            EXPECT_NE(r.out, UNAUTHORIZED);
            EXPECT_TRUE(c.query.empty() ? is_page(r) : is_status_doc(r)) << r.out;
        } else {
            EXPECT_EQ(r.out, UNAUTHORIZED);
        }
    }
}

// Only a browser's request for the page gets the HTML refusal (its bytes:
// page_e2e_test.cc); tools, scripts and every action keep the JSON 401,
// and the password still opens the page.
TEST(NodePassword, WhichRefusalARequestGets) {
    const char *browser = "text/html,application/xhtml+xml,*/*;q=0.8";
    enum Want { HTML_REFUSAL, JSON_REFUSAL, PAGE };
    struct Case {
        const char *why;
        const char *accept;  // null: no Accept header
        const char *header;  // X-Bot-Password, null: none
        std::string query;
        Want want;
    } cases[] = {
        {"a browser opens the console", browser, nullptr, "", HTML_REFUSAL},
        {"a browser opens it framed by the host", browser, nullptr, "node=n1&embed=1&theme=dark", HTML_REFUSAL},
        {"a wrong password is refused the same way", browser, "wrong", "", HTML_REFUSAL},
        {"no Accept: a tool or a test", nullptr, nullptr, "", JSON_REFUSAL},
        {"Accept without text/html", "*/*", nullptr, "", JSON_REFUSAL},
        {"an action from a browser", browser, nullptr, "action=status", JSON_REFUSAL},
        {"a state-changing action from a browser", browser, nullptr, "action=start", JSON_REFUSAL},
        {"the password opens the page", browser, "pw", "", PAGE},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        w.env["BOT_PASSWORD"] = "pw";
        if (c.accept) w.env["HTTP_ACCEPT"] = c.accept;
        if (c.header) w.env["HTTP_X_BOT_PASSWORD"] = c.header;
        w.login_tool({});
        w.token_tool({});
        Result r = w.request(c.query);
        EXPECT_EQ(r.exit_code, 0);
        switch (c.want) {
            case HTML_REFUSAL:
                EXPECT_EQ(r.out.rfind("Status: 401 Unauthorized\r\nContent-Type: text/html; charset=utf-8\r\n", 0), 0u)
                    << r.out.substr(0, 300);
                EXPECT_TRUE(w.runs("login").empty());
                break;
            case JSON_REFUSAL: EXPECT_EQ(r.out, UNAUTHORIZED); EXPECT_TRUE(w.runs("login").empty()); break;
            case PAGE: EXPECT_TRUE(is_page(r)) << r.out.substr(0, 300); break;
        }
    }
}

TEST(NodePassword, RefusalRunsNoTool) {
    World w;
    w.env["BOT_PASSWORD"] = "pw";
    w.login_tool({});
    w.token_tool({});
    Result r = w.request("action=start&force");
    EXPECT_EQ(r.out, UNAUTHORIZED);
    EXPECT_TRUE(w.runs("login").empty());
    EXPECT_TRUE(w.runs("token").empty());
}

TEST(HostileRequests, LongBinaryAndSplitQueries) {
    std::string binary;
    for (int b = 1; b < 256; b++) binary += (char)b;
    struct Case {
        const char *why;
        std::string query;
        std::string header;
        bool unknown_action;
    } cases[] = {
        // Linux caps one environment string at 128 KiB: these are near that cap.
        {"120 KiB query", "action=" + std::string(120 << 10, 'a'), "", true},
        {"100,000 ampersands", std::string(100000, '&') + "action=zzz", "", true},
        {"binary action value", "action=" + binary, "", true},
        {"120 KiB header", "action=nope", std::string(120 << 10, 'h'), true},
        {"binary header", "action=nope", binary, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        w.env["BOT_PASSWORD"] = "right";
        w.env["HTTP_X_BOT_PASSWORD"] = c.header.empty() ? "right" : c.header;
        w.env["HTTP_AUTHORIZATION"] = "Bearer " + (c.header.empty() ? "x" : c.header);
        Result r = w.request(c.query + "&pwd=right");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, UNKNOWN_ACTION);
        EXPECT_EQ(r.exit_code, 1);
    }
}

// A page on another site: the four actions that can change the sign-in are
// refused before any tool runs, and the pending marker stays; the page and
// the status document are served as always.
TEST(CrossSite, ActionsFromAnotherSiteAreRefusedWithoutRunningATool) {
    const std::string refused =
        std::string("Status: 403 Forbidden\r\n") + e2e::JSON_HEADER +
        "{\"ok\":false,\"error\":\"cross_site_request\",\"detail\":"
        "\"a page on another site cannot start, poll, cancel or refresh a login\"}\n";
    struct Headers {
        const char *why;
        const char *sec_fetch_site, *origin, *host;  // null: not sent
        bool refused;
    } headers[] = {
        {"img from another site", "cross-site", nullptr, "node:8080", true},
        {"fetch from a sibling origin", "same-site", "http://node:9090", "node:8080", true},
        {"older browser, foreign Origin", nullptr, "http://evil.test", "node:8080", true},
        {"older browser, opaque Origin", nullptr, "null", "node:8080", true},
        {"the console itself", "same-origin", "http://node:8080", "node:8080", false},
        {"older browser, own Origin", nullptr, "http://node:8080", "node:8080", false},
        {"a tool or curl", nullptr, nullptr, "node:8080", false},
    };
    const char *actions[] = {"start&force=1", "poll", "cancel", "refresh"};
    for (const auto &h : headers) {
        for (const char *action : actions) {
            SCOPED_TRACE(std::string(h.why) + ", action=" + action);
            World w;
            w.write("pending.json", "{\"created\":4102444800}");
            w.env["LUMIVANE_PENDING_PATH"] = w.native("pending.json");
            w.login_tool({{"--status", Reply("{\"ok\":true,\"logged_in\":true}")}},
                         Reply("{\"ok\":true}"));
            w.token_tool({}, Reply("{\"ok\":true}"));
            w.env["LUMIVANE_ALLOWED_HOSTS"] = "node";  // the host rule lets "node:8080" through
            if (h.sec_fetch_site) w.env["HTTP_SEC_FETCH_SITE"] = h.sec_fetch_site;
            if (h.origin) w.env["HTTP_ORIGIN"] = h.origin;
            if (h.host) w.env["HTTP_HOST"] = h.host;
            Result r = w.request(std::string("action=") + action);
            EXPECT_EQ(r.err, "");
            if (h.refused) {
                EXPECT_EQ(r.out, refused);
                EXPECT_EQ(r.exit_code, 1);
                EXPECT_TRUE(w.runs("login").empty());
                EXPECT_TRUE(w.runs("token").empty());
                EXPECT_TRUE(w.exists("pending.json"));
            } else {
                EXPECT_EQ(r.out.find("cross_site_request"), std::string::npos) << r.out;
                EXPECT_FALSE(w.runs("login").empty());
            }
        }
    }
}

TEST(CrossSite, PageAndStatusAreServedToAnySite) {
    for (const char *query : {"", "action=status", "format=json"}) {
        SCOPED_TRACE(query);
        World w;
        w.env["HTTP_SEC_FETCH_SITE"] = "cross-site";
        w.env["HTTP_ORIGIN"] = "http://evil.test";
        w.env["HTTP_HOST"] = "node:8080";
        w.env["LUMIVANE_ALLOWED_HOSTS"] = "node";
        Result r = w.request(query);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_TRUE(query[0] ? is_status_doc(r) : is_page(r)) << r.out.substr(0, 120);
    }
}

TEST(CrossSite, ThePasswordIsCheckedFirst) {
    World w;
    w.env["BOT_PASSWORD"] = "pw";
    w.env["HTTP_SEC_FETCH_SITE"] = "cross-site";
    Result r = w.request("action=start");
    EXPECT_EQ(r.out, UNAUTHORIZED);
}

// A page on a name that was made to resolve to the node (DNS rebinding)
// sends same-origin requests, which pass the cross-site rule; on a node
// without a password only the Host header tells them apart. Every answer
// but the page is refused before any tool runs, and the marker stays.
TEST(HostRule, ANameTheNodeDoesNotKnowIsRefusedWithoutRunningATool) {
    const std::string refused =
        std::string("Status: 403 Forbidden\r\n") + e2e::JSON_HEADER +
        "{\"ok\":false,\"error\":\"host_not_allowed\",\"detail\":"
        "\"this node is not known by the name \\\"evil.test:18932\\\"; if it is served under that name, "
        "add the name to LUMIVANE_ALLOWED_HOSTS\"}\n";
    struct Case {
        const char *why;
        const char *allowed;  // LUMIVANE_ALLOWED_HOSTS; null: unset
    } cases[] = {
        {"no list", nullptr},
        {"empty list", ""},
        {"another name listed", "node.example, other"},
        {"a name that only ends like it", "test"},
        {"a name that only begins like it", "evil.test.node"},
        {"a name that only begins like it", "evil"},
    };
    const char *queries[] = {"action=status", "format=json", "action=start&force=1", "action=poll",
                             "action=cancel", "action=refresh", "action=nope"};
    for (const auto &c : cases) {
        for (const char *query : queries) {
            SCOPED_TRACE(std::string(c.why) + ", " + query);
            World w;
            w.write("pending.json", "{\"created\":4102444800}");
            w.env["LUMIVANE_PENDING_PATH"] = w.native("pending.json");
            w.login_tool({{"--status", Reply("{\"ok\":true,\"logged_in\":true,\"account\":\"op@x\"}")}},
                         Reply("{\"ok\":true}"));
            w.token_tool({}, Reply("{\"ok\":true}"));
            if (c.allowed) w.env["LUMIVANE_ALLOWED_HOSTS"] = c.allowed;
            // What a browser sends for a same-origin fetch on the rebound name.
            w.env["HTTP_HOST"] = "evil.test:18932";
            w.env["HTTP_SEC_FETCH_SITE"] = "same-origin";
            w.env["HTTP_ORIGIN"] = "http://evil.test:18932";
            Result r = w.request(query);
            EXPECT_EQ(r.err, "");
            EXPECT_EQ(r.out, refused);
            EXPECT_EQ(r.exit_code, 1);
            EXPECT_TRUE(w.runs("login").empty());
            EXPECT_TRUE(w.runs("token").empty());
            EXPECT_TRUE(w.exists("pending.json"));
        }
    }
}

TEST(HostRule, KnownNamesAddressesAndNoHostAreServed) {
    struct Case {
        const char *why;
        const char *host;     // null: no Host header
        const char *allowed;  // null: unset
        const char *password; // null: no node password
    } cases[] = {
        {"IPv4 address", "127.0.0.1:18932", nullptr, nullptr},
        {"IPv4 address without a port", "192.168.1.20", nullptr, nullptr},
        {"bracketed IPv6 address", "[::1]:18932", nullptr, nullptr},
        {"localhost", "localhost:18932", nullptr, nullptr},
        {"localhost in capitals", "LOCALHOST", nullptr, nullptr},
        {"a listed name", "node.example:8080", "node.example", nullptr},
        {"listed among others, spaces and empty entries", "node.example", " other ,, NODE.Example. ,", nullptr},
        {"a listed name with a port on the entry", "node.example:8080", "node.example:9999", nullptr},
        {"a fully qualified Host", "node.example.:8080", "node.example", nullptr},
        {"no Host header: a tool or a test", nullptr, nullptr, nullptr},
        {"a node with a password needs no list", "evil.test:18932", nullptr, "pw"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        w.login_tool({{"--status", Reply("{\"ok\":true,\"logged_in\":false}")}},
                     Reply("{\"ok\":true,\"verify_url\":\"https://x.test/d\",\"user_code\":\"AB-12\"}"));
        if (c.host) w.env["HTTP_HOST"] = c.host;
        if (c.allowed) w.env["LUMIVANE_ALLOWED_HOSTS"] = c.allowed;
        if (c.password) {
            w.env["BOT_PASSWORD"] = c.password;
            w.env["HTTP_X_BOT_PASSWORD"] = c.password;
        }
        Result status = w.request("action=status");
        EXPECT_TRUE(is_status_doc(status)) << status.out;
        Result start = w.request("action=start");
        EXPECT_EQ(start.out.find("host_not_allowed"), std::string::npos) << start.out;
        EXPECT_NE(start.out.find("AB-12"), std::string::npos) << start.out;
    }
}

TEST(HostRule, ThePageIsServedUnderAnyName) {
    World w;
    w.env["HTTP_HOST"] = "evil.test:18932";
    Result r = w.request("");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(is_page(r)) << r.out.substr(0, 120);
}

// The refusal names the Host as sent, cut between characters when long,
// and stays one valid JSON document whatever bytes the header holds.
TEST(HostRule, TheRefusalShowsALongOrOddHostSafely) {
    std::string e_acute = "\xc3\xa9";
    std::string many_e_acute;
    for (int i = 0; i < 200; i++) many_e_acute += e_acute;
    std::string shown_e_acute;
    for (int i = 0; i < 130; i++) shown_e_acute += e_acute;  // 260 of the 261 bytes: no half character
    struct Case {
        const char *why;
        std::string host;
        std::string shown;  // the detail's text from the opening quote of the name on
        e2e::Only only;
    } cases[] = {
        {"a long name is cut", std::string(300, 'a') + ".test", "\\\"" + std::string(261, 'a') + "...\\\";",
         e2e::ANY_TARGET},
        {"a long name is cut between characters", many_e_acute, "\\\"" + shown_e_acute + "...\\\";",
         e2e::ANY_TARGET},
        {"a quote in the name", "ev\"il", "\\\"ev\\\"il\\\";", e2e::ANY_TARGET},
        // A Windows environment is UTF-16: no ill-formed byte reaches the program there.
        {"a byte that is not UTF-8", "ev\xffil", "\\\"ev\xef\xbf\xbdil\\\";", e2e::POSIX_ONLY},
        {"an empty Host header", "", "\\\"\\\";", e2e::ANY_TARGET},
    };
    for (const auto &c : cases) {
        if (!e2e::runs_here(c.only)) continue;
        SCOPED_TRACE(c.why);
        World w;
        w.env["HTTP_HOST"] = c.host;
        Result r = w.request("action=status");
        EXPECT_EQ(r.out.rfind("Status: 403 Forbidden\r\n", 0), 0u) << r.out;
        EXPECT_TRUE(read_doc(r).valid) << r.out;
        EXPECT_TRUE(strict_utf8_valid(r.out)) << r.out;
        EXPECT_NE(r.out.find("\"error\":\"host_not_allowed\""), std::string::npos) << r.out;
        EXPECT_NE(r.out.find(c.shown), std::string::npos) << r.out;
    }
}

}  // namespace
