// The device-login actions end to end: every row of each decision that a
// client can reach, with the exact response, the exit status and the tool
// runs. Every world holds planted secrets in the credentials file and in
// every tool answer; no response may ever carry them.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <time.h>

#include <functional>

#include "harness.h"

using e2e::ACCESS_SECRET;
using e2e::expect_no_secret;
using e2e::REFRESH_SECRET;
using e2e::Reply;
using e2e::Result;
using e2e::World;

namespace {

const std::string &CREDS = e2e::SECRET_CREDS;
// Appended to the members of tool answers: keys the plugin must never echo.
const std::string SECRET_KEYS = "," + e2e::SECRET_MEMBERS;

std::string error_response(int status, const std::string &reason, const std::string &code,
                           const std::string &detail) {
    std::string body = "{\"ok\":false,\"error\":\"" + code + "\"";
    if (!detail.empty()) body += ",\"detail\":\"" + detail + "\"";
    return "Status: " + std::to_string(status) + " " + reason + "\r\n" + e2e::JSON_HEADER + body + "}\n";
}

// The error response of a failure that a tool explained: its own code
// travels as "tool_error" beside the action's code and the detail.
std::string tool_error_response(const std::string &code, const std::string &detail, const std::string &tool_error) {
    std::string r = error_response(200, "OK", code, detail);
    return r.substr(0, r.size() - 2) + ",\"tool_error\":\"" + tool_error + "\"}\n";
}

std::string json_response(const std::string &body) { return e2e::JSON_HEADER + body; }

const std::string LOGIN_MISSING = error_response(200, "OK", "cli_unavailable", "vantorel-lumivane-login is not on this node");

using Runs = std::vector<std::string>;

// The plugin keeps at most this many bytes of a tool's output.
const size_t CAPTURE_LIMIT = 262144;

// Log output, then `line`, placed so that the capture limit falls right
// after its first `kept` bytes: what a reader that believed a cut line
// would read.
std::string cut_by_the_limit(const std::string &line, size_t kept) {
    return std::string(CAPTURE_LIMIT - kept - 1, 'l') + "\n" + line + "\n";
}

// The whole string literal, NUL bytes inside it included.
template <size_t N>
std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

// A node with both tools; the login tool answers --status with
// status_line and `option` with `reply`.
struct ActionWorld : e2e::NodeWorld {
    ActionWorld(bool signed_in, const std::map<std::string, Reply> &login_replies)
        : NodeWorld(login_replies, "{\"ok\":true" + SECRET_KEYS + "}\n") {
        if (signed_in) write("auth.json", CREDS);
    }
};

// What a row expects of the response: all of it, byte for byte, or the
// opening of a status document, whose clock members vary from run to run
// (the row then checks chosen members on its own).
struct Expected {
    enum Match { WHOLE, STATUS_OPENING } match;
    std::string text;
    Expected(std::string whole) : match(WHOLE), text(std::move(whole)) {}
    Expected(Match m, std::string t) : match(m), text(std::move(t)) {}
};

// The members that open a status document, e.g. {"ok":true,"state":"done".
Expected status_opening(const std::string &members) { return Expected(Expected::STATUS_OPENING, members); }

// Checks r against e; returns true when e is a status opening (and r
// begins with it), so that the caller goes on to check members.
bool check_response(const Result &r, const Expected &e) {
    if (e.match == Expected::WHOLE) {
        EXPECT_EQ(r.out, e.text);
        return false;
    }
    EXPECT_EQ(r.out.rfind(json_response(e.text + ",\"provider\":\"lumivane\""), 0), 0u) << r.out;
    return true;
}

TEST(StartAction, DecisionTable) {
    auto device_code = [](const std::string &expires, const std::string &interval) {
        return json_response(
            "{\"ok\":true,\"flow\":\"device_code\",\"verify_url\":\"https://x.test/d\",\"user_code\":\"ABCD-1234\","
            "\"expires_in\":" + expires + ",\"interval\":" + interval + ",\"pending\":true,\"provider\":\"lumivane\"}\n");
    };
    struct Case {
        const char *why;
        bool login_missing;
        bool signed_in;
        std::string query;
        Reply start;  // the answer to --start (or --start --force)
        std::string response;
        int exit_code;
        Runs login_runs;
    } cases[] = {
        {"login tool missing", true, false, "action=start", Reply(), LOGIN_MISSING, 0, {}},
        {"tool vanishes at start (127)", false, false, "action=start", Reply("", e2e::NOT_FOUND_STATUS), LOGIN_MISSING, 0,
         {"--status", "--start"}},
        {"no JSON line", false, false, "action=start", Reply("starting...\nerror: no network\n", 1),
         error_response(502, "Bad Gateway", "start_failed", "login CLI produced no JSON"), 1, {"--status", "--start"}},
        {"ok without a user code", false, false, "action=start",
         Reply("{\"ok\":true,\"verify_url\":\"https://x.test/d\",\"user_code\":\"\"" + SECRET_KEYS + "}"),
         error_response(502, "Bad Gateway", "start_incomplete", "login CLI did not return a verify url and user code"), 1,
         {"--status", "--start"}},
        {"ok without a verify url", false, false, "action=start", Reply("{\"ok\":true,\"user_code\":\"ABCD-1234\"}"),
         error_response(502, "Bad Gateway", "start_incomplete", "login CLI did not return a verify url and user code"), 1,
         {"--status", "--start"}},
        {"device code with defaults", false, false, "action=start",
         Reply("{\"ok\":\"true\",\"verify_url\":\"https://x.test/d\",\"user_code\":\"ABCD-1234\",\"interval\":0" +
               SECRET_KEYS + "}"),
         device_code("900", "5"), 0, {"--status", "--start"}},
        {"device code, quoted numbers, progress lines before", false, false, "action=start",
         Reply("{\"progress\":1}\nopening browser\n{\"ok\":true,\"verify_url\":\"https://x.test/d\","
               "\"user_code\":\"ABCD-1234\",\"interval\":\"7\",\"expires_in\":\"600\"}\n"),
         device_code("600", "7"), 0, {"--status", "--start"}},
        {"negative numbers take the defaults", false, false, "action=start",
         Reply("{\"ok\":true,\"verify_url\":\"https://x.test/d\",\"user_code\":\"ABCD-1234\",\"interval\":-3,"
               "\"expires_in\":-1}"),
         device_code("900", "5"), 0, {"--status", "--start"}},
        {"force=0 still forces", false, false, "action=start&force=0",
         Reply("{\"ok\":true,\"verify_url\":\"https://x.test/d\",\"user_code\":\"ABCD-1234\"}"),
         device_code("900", "5"), 0, {"--status", "--start --force"}},
        {"a longer name is not force", false, false, "action=start&forced=1",
         Reply("{\"ok\":true,\"verify_url\":\"https://x.test/d\",\"user_code\":\"ABCD-1234\"}"),
         device_code("900", "5"), 0, {"--status", "--start"}},
        {"credentials exist", false, true, "action=start", Reply("{\"ok\":false,\"error\":\"exists\"" + SECRET_KEYS + "}"),
         json_response("{\"ok\":true,\"already_logged_in\":true,\"pending\":false,\"error\":\"already_logged_in\","
                       "\"detail\":\"credentials already exist\",\"logged_in\":true,"
                       "\"hint\":\"pass force=1 to replace the existing session\"}\n"),
         0, {"--status", "--start"}},
        {"exists with the tool's detail, node not signed in", false, false, "action=start",
         Reply("{\"ok\":false,\"error\":\"exists\",\"detail\":\"profile \\\"p\\\" has keys\"}"),
         json_response("{\"ok\":true,\"already_logged_in\":true,\"pending\":false,\"error\":\"already_logged_in\","
                       "\"detail\":\"profile \\\"p\\\" has keys\",\"logged_in\":false,"
                       "\"hint\":\"pass force=1 to replace the existing session\"}\n"),
         0, {"--status", "--start"}},
        {"EXISTS is another error", false, false, "action=start", Reply("{\"ok\":false,\"error\":\"EXISTS\"}"),
         error_response(200, "OK", "EXISTS", ""), 0, {"--status", "--start"}},
        {"tool error with detail", false, false, "action=start",
         Reply("{\"ok\":false,\"error\":\"rate_limited\",\"detail\":\"try later\"}"),
         error_response(200, "OK", "rate_limited", "try later"), 0, {"--status", "--start"}},
        {"no ok, no error", false, false, "action=start", Reply("{\"verify_url\":\"https://x.test/d\"}"),
         error_response(200, "OK", "start_failed", ""), 0, {"--status", "--start"}},
        {"null error", false, false, "action=start", Reply("{\"ok\":false,\"error\":null,\"detail\":null}"),
         error_response(200, "OK", "start_failed", ""), 0, {"--status", "--start"}},
        // Objects and arrays in text fields read as absent: no token
        // comes back through them.
        {"error and detail holding an object and an array", false, false, "action=start",
         Reply("{\"ok\":false,\"error\":{\"access_token\":\"" + std::string(ACCESS_SECRET) + "\",\"x\":1},"
               "\"detail\":[\"" + REFRESH_SECRET + "\"]}"),
         error_response(200, "OK", "start_failed", ""), 0, {"--status", "--start"}},
        {"error and detail holding an object behind unquoted junk", false, false, "action=start",
         Reply("{\"ok\":false,\"error\":true{\"access_token\":\"" + std::string(ACCESS_SECRET) + "\"},"
               "\"detail\":/*c*/{\"refresh_token\":\"" + REFRESH_SECRET + "\"}}"),
         error_response(200, "OK", "start_failed", ""), 0, {"--status", "--start"}},
        {"a verify url object is no verify url", false, false, "action=start",
         Reply("{\"ok\":true,\"verify_url\":{\"access_token\":\"" + std::string(ACCESS_SECRET) +
               "\"},\"user_code\":\"ABCD-1234\"}"),
         error_response(502, "Bad Gateway", "start_incomplete", "login CLI did not return a verify url and user code"), 1,
         {"--status", "--start"}},
        {"an answer line that opens with a byte-order mark", false, false, "action=start",
         Reply("\xEF\xBB\xBF{\"ok\":true,\"verify_url\":\"https://x.test/d\",\"user_code\":\"ABCD-1234\"}\r\n"),
         device_code("900", "5"), 0, {"--status", "--start"}},
        // A line that the capture limit cuts through is no answer; read up
        // to the cut, it would give the user code ABCD-12.
        {"the answer cut by the capture limit", false, false, "action=start",
         Reply(cut_by_the_limit("{\"ok\":true,\"verify_url\":\"https://x.test/d\",\"user_code\":\"ABCD-1234\"}", 63)),
         error_response(502, "Bad Gateway", "start_failed", "login CLI produced no JSON"), 1, {"--status", "--start"}},
        // Nor is the line a tool was killed in the middle of (WXYZ-56 read as a code).
        {"killed in the middle of its answer", false, false, "action=start",
         e2e::acting(e2e::Act::KILLED, "{\"ok\":true,\"verify_url\":\"https://x.test/d\",\"user_code\":\"WXYZ-56"),
         error_response(502, "Bad Gateway", "start_failed", "login CLI produced no JSON"), 1, {"--status", "--start"}},
        {"killed after a whole answer", false, false, "action=start",
         e2e::acting(e2e::Act::KILLED, "{\"ok\":true,\"verify_url\":\"https://x.test/d\",\"user_code\":\"ABCD-1234\"}\n"),
         device_code("900", "5"), 0, {"--status", "--start"}},
        {"ill-formed UTF-8 in the tool's texts", false, false, "action=start",
         Reply("{\"ok\":false,\"error\":\"bad\xff\",\"detail\":\"caf\xc3\"}"),
         error_response(200, "OK", "bad\xef\xbf\xbd", "caf\xef\xbf\xbd"), 0, {"--status", "--start"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        ActionWorld w(c.signed_in, {{"--start", c.start}, {"--start --force", c.start}});
        if (c.login_missing) w.env.erase("LUMIVANE_LOGIN_BIN");
        Result r = w.request(c.query);
        EXPECT_EQ(r.out, c.response);
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_EQ(w.runs("login"), c.login_runs);
        // Start decides on the login tool alone: the token tool is not asked.
        EXPECT_EQ(w.runs("token"), Runs{});
        expect_no_secret(r);
    }
}

// A value that does not fit its field is refused, never cut: an address or
// a code cut short would send the operator astray under "ok":true. A
// number outside its range takes the default, whatever its size.
TEST(StartAction, ValuesThatDoNotFitAndNumbersOutOfRange) {
    const std::string url_1023 = "https://x.test/d?" + std::string(1023 - 17, 'u');
    const std::string code_63(63, 'C');
    const std::string incomplete =
        error_response(502, "Bad Gateway", "start_incomplete", "login CLI did not return a verify url and user code");
    struct Case {
        const char *why;
        std::string url, code;
        std::string numbers;   // further members of the answer
        std::string expires, interval;  // expected; empty: start_incomplete
    } cases[] = {
        {"address of 1,163 bytes", "https://x.test/d?" + std::string(1163 - 17, 'u'), "ABCD-1234", "", "", ""},
        {"address one byte too long", url_1023 + "u", "ABCD-1234", "", "", ""},
        {"address that just fits", url_1023, "ABCD-1234", "", "900", "5"},
        {"code of 74 bytes", "https://x.test/d", std::string(74, 'C'), "", "", ""},
        {"code one byte too long", "https://x.test/d", code_63 + "C", "", "", ""},
        {"code that just fits", "https://x.test/d", code_63, "", "900", "5"},
        {"code too long once its escapes are decoded", "https://x.test/d", std::string(62, 'C') + "\\u00e9", "", "", ""},
        {"interval 2^32 + 1", "https://x.test/d", "ABCD-1234", ",\"interval\":4294967297", "900", "5"},
        {"interval 2^31", "https://x.test/d", "ABCD-1234", ",\"interval\":2147483648", "900", "5"},
        {"interval beyond 64 bits", "https://x.test/d", "ABCD-1234", ",\"interval\":99999999999999999999999", "900", "5"},
        {"interval of an hour", "https://x.test/d", "ABCD-1234", ",\"interval\":3600", "900", "3600"},
        {"interval past an hour", "https://x.test/d", "ABCD-1234", ",\"interval\":3601", "900", "5"},
        {"interval of one second", "https://x.test/d", "ABCD-1234", ",\"interval\":1", "900", "1"},
        {"lifetime of a day", "https://x.test/d", "ABCD-1234", ",\"expires_in\":86400", "86400", "5"},
        {"lifetime past a day", "https://x.test/d", "ABCD-1234", ",\"expires_in\":86401", "900", "5"},
        {"lifetime of 2^63 - 1", "https://x.test/d", "ABCD-1234", ",\"expires_in\":9223372036854775807", "900", "5"},
        {"lifetime of one second", "https://x.test/d", "ABCD-1234", ",\"expires_in\":\"1\"", "1", "5"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        ActionWorld w(false, {{"--start", Reply("{\"ok\":true,\"verify_url\":\"" + c.url + "\",\"user_code\":\"" +
                                                 c.code + "\"" + c.numbers + "}")}});
        Result r = w.request("action=start");
        if (c.expires.empty()) {
            EXPECT_EQ(r.out, incomplete);
            EXPECT_EQ(r.exit_code, 1);
        } else {
            EXPECT_EQ(r.out, json_response("{\"ok\":true,\"flow\":\"device_code\",\"verify_url\":\"" + c.url +
                                           "\",\"user_code\":\"" + c.code + "\",\"expires_in\":" + c.expires +
                                           ",\"interval\":" + c.interval +
                                           ",\"pending\":true,\"provider\":\"lumivane\"}\n"));
            EXPECT_EQ(r.exit_code, 0);
        }
    }
}

TEST(PollAction, DecisionTable) {
    const std::string pending = json_response(
        "{\"ok\":true,\"state\":\"pending\",\"interval\":5,\"logged_in\":false,\"pending\":true}\n");
    const Expected done = status_opening("{\"ok\":true,\"state\":\"done\"");
    struct Case {
        const char *why;
        bool login_missing;
        bool signed_in;
        Reply poll;
        Expected response;
        int exit_code;
        Runs login_runs;
        const char *logged_in_after;  // for done documents: the "logged_in" they report
    } cases[] = {
        {"login tool missing", true, false, Reply(), LOGIN_MISSING, 0, {}, nullptr},
        {"tool vanishes at poll (127)", false, false, Reply("", e2e::NOT_FOUND_STATUS), LOGIN_MISSING, 0, {"--status", "--poll"}, nullptr},
        {"no JSON, signed in before: done from the first snapshot", false, true, Reply("approved\n"), done, 0,
         {"--status", "--poll"}, "true"},
        {"no JSON, not signed in", false, false, Reply("waiting\n"),
         error_response(502, "Bad Gateway", "poll_failed", "login CLI produced no JSON"), 1, {"--status", "--poll"},
         nullptr},
        {"ok false", false, true, Reply("{\"ok\":false,\"state\":\"done\",\"error\":\"expired_token\",\"detail\":\"code expired\"" + SECRET_KEYS + "}"),
         json_response("{\"ok\":true,\"state\":\"failed\",\"error\":\"expired_token\",\"detail\":\"code expired\","
                       "\"logged_in\":true,\"pending\":false}\n"),
         0, {"--status", "--poll"}, nullptr},
        {"no ok, no error", false, false, Reply("{\"state\":\"pending\"}"),
         json_response("{\"ok\":true,\"state\":\"failed\",\"error\":\"poll_failed\",\"logged_in\":false,\"pending\":false}\n"),
         0, {"--status", "--poll"}, nullptr},
        {"null error", false, false, Reply("{\"ok\":false,\"error\":null}"),
         json_response("{\"ok\":true,\"state\":\"failed\",\"error\":\"poll_failed\",\"logged_in\":false,\"pending\":false}\n"),
         0, {"--status", "--poll"}, nullptr},
        {"error and detail holding an object and an array", false, false,
         Reply("{\"ok\":false,\"error\":{\"access_token\":\"" + std::string(ACCESS_SECRET) + "\",\"x\":1},"
               "\"detail\":[\"" + REFRESH_SECRET + "\",2]}"),
         json_response("{\"ok\":true,\"state\":\"failed\",\"error\":\"poll_failed\",\"logged_in\":false,\"pending\":false}\n"),
         0, {"--status", "--poll"}, nullptr},
        {"error and detail holding an object behind unquoted junk", false, false,
         Reply("{\"ok\":false,\"error\":-{\"access_token\":\"" + std::string(ACCESS_SECRET) + "\"},"
               "\"detail\":true{\"refresh_token\":\"" + REFRESH_SECRET + "\"}}"),
         json_response("{\"ok\":true,\"state\":\"failed\",\"error\":\"poll_failed\",\"logged_in\":false,\"pending\":false}\n"),
         0, {"--status", "--poll"}, nullptr},
        {"a number error stays text", false, false, Reply("{\"ok\":false,\"error\":429,\"detail\":true}"),
         json_response("{\"ok\":true,\"state\":\"failed\",\"error\":\"429\",\"detail\":\"true\",\"logged_in\":false,"
                       "\"pending\":false}\n"),
         0, {"--status", "--poll"}, nullptr},
        {"done: a fresh snapshot sees the new credentials", false, false,
         Reply("{\"ok\":true,\"state\":\"done\"" + SECRET_KEYS + "}", 0, "", "printf '%s' " + e2e::sh_quote(CREDS) + " > auth.json"),
         done, 0, {"--status", "--poll", "--status"}, "true"},
        {"logged_in without a state", false, false, Reply("{\"ok\":true,\"logged_in\":true}"), done, 0,
         {"--status", "--poll", "--status"}, "false"},
        // Cut after "done, the state would read as done.
        {"the answer cut by the capture limit", false, false,
         Reply(cut_by_the_limit("{\"ok\":true,\"state\":\"done_soon\",\"interval\":5}", 24)),
         error_response(502, "Bad Gateway", "poll_failed", "login CLI produced no JSON"), 1, {"--status", "--poll"},
         nullptr},
        {"DONE is still pending", false, false, Reply("{\"ok\":true,\"state\":\"DONE\"}"), pending, 0,
         {"--status", "--poll"}, nullptr},
        {"pending without an interval", false, false, Reply("{\"ok\":true,\"state\":\"pending\"}"), pending, 0,
         {"--status", "--poll"}, nullptr},
        {"pending with an interval of 2^32 + 1", false, false,
         Reply("{\"ok\":true,\"state\":\"pending\",\"interval\":4294967297}"), pending, 0, {"--status", "--poll"}, nullptr},
        {"pending with an interval past an hour", false, false,
         Reply("{\"ok\":true,\"state\":\"pending\",\"interval\":3601}"), pending, 0, {"--status", "--poll"}, nullptr},
        {"pending with interval 7", false, false, Reply("{\"ok\":true,\"state\":\"slow_down\",\"interval\":7}"),
         json_response("{\"ok\":true,\"state\":\"pending\",\"interval\":7,\"logged_in\":false,\"pending\":true}\n"), 0,
         {"--status", "--poll"}, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        ActionWorld w(c.signed_in, {{"--poll", c.poll}});
        if (c.login_missing) w.env.erase("LUMIVANE_LOGIN_BIN");
        Result r = w.request("action=poll");
        if (check_response(r, c.response)) {
            EXPECT_NE(r.out.find(std::string("\"logged_in\":") + c.logged_in_after), std::string::npos) << r.out;
        }
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_EQ(w.runs("login"), c.login_runs);
        // The token tool is asked only for a status document (done), once.
        EXPECT_EQ(w.runs("token").size(), c.logged_in_after ? 1u : 0u);
        expect_no_secret(r);
    }
}

TEST(CancelAction, DecisionTable) {
    const std::string local_cancel =
        json_response("{\"ok\":true,\"state\":\"cancelled\",\"pending\":false,\"cli_present\":false}\n");
    const Expected cancelled = status_opening("{\"ok\":true,\"state\":\"cancelled\"");
    struct Case {
        const char *why;
        bool login_missing;
        Reply cancel;
        Expected response;
        Runs login_runs;
        bool marker_left;
    } cases[] = {
        {"tool missing: the marker is removed locally", true, Reply(), local_cancel, {}, false},
        {"tool vanishes at cancel (127)", false, Reply("", e2e::NOT_FOUND_STATUS), LOGIN_MISSING, {"--status", "--cancel"}, true},
        {"no JSON line is no refusal", false, Reply("cancelled.\n"), cancelled, {"--status", "--cancel", "--status"}, true},
        // Without a JSON line only exit status 0 says that the login was
        // cancelled; a failed run leaves it pending, and says how it ended.
        {"no JSON line, exit status 1", false, Reply("Error: network unreachable\n", 1),
         error_response(200, "OK", "cancel_failed", "login CLI exited with status 1"), {"--status", "--cancel"}, true},
        {"nothing printed, exit status 3", false, Reply("", 3),
         error_response(200, "OK", "cancel_failed", "login CLI exited with status 3"), {"--status", "--cancel"}, true},
        {"no JSON line, killed", false, e2e::acting(e2e::Act::KILLED, "cancelling...\n"),
         error_response(200, "OK", "cancel_failed", "login CLI was killed"), {"--status", "--cancel"}, true},
        {"refused without a detail: the fixed detail, the tool's code beside it", false,
         Reply("{\"ok\":false,\"error\":\"busy\"" + SECRET_KEYS + "}"),
         tool_error_response("cancel_failed", "login CLI rejected the cancel", "busy"), {"--status", "--cancel"}, true},
        {"refused with the tool's own reason", false,
         Reply("{\"ok\":false,\"error\":\"profile_locked\",\"detail\":\"another login holds the profile\"" +
               SECRET_KEYS + "}"),
         tool_error_response("cancel_failed", "another login holds the profile", "profile_locked"),
         {"--status", "--cancel"}, true},
        {"refused with a detail alone", false, Reply("{\"ok\":false,\"detail\":\"no login to cancel\"}"),
         error_response(200, "OK", "cancel_failed", "no login to cancel"), {"--status", "--cancel"}, true},
        {"empty object counts as accepted", false, Reply("{}"), cancelled, {"--status", "--cancel", "--status"}, true},
        // The answer is read to its end, past a NUL byte.
        {"refused after a NUL byte", false, Reply(bytes("{\"a\":\"x\0\",\"ok\":false}\n")),
         error_response(200, "OK", "cancel_failed", "login CLI rejected the cancel"), {"--status", "--cancel"}, true},
        {"accepted, the tool removes the marker", false,
         Reply("{\"ok\":true" + SECRET_KEYS + "}", 0, "", "rm -f lumivane-default.json"), cancelled,
         {"--status", "--cancel", "--status"}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        ActionWorld w(true, {{"--cancel", c.cancel}});
        if (c.login_missing) w.env.erase("LUMIVANE_LOGIN_BIN");
        w.write("lumivane-default.json", "{\"created\":" + std::to_string((long long)time(nullptr)) + "}");
        Result r = w.request("action=cancel");
        if (check_response(r, c.response)) {
            // The fresh snapshot is taken after the tool ran.
            EXPECT_NE(r.out.find(c.marker_left ? "\"pending\":true" : "\"pending\":false"), std::string::npos) << r.out;
        }
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(w.runs("login"), c.login_runs);
        // The token tool is asked only for the cancelled document's snapshot.
        EXPECT_EQ(w.runs("token").size(), c.login_runs.size() == 3 ? 1u : 0u);
        EXPECT_EQ(w.exists("lumivane-default.json"), c.marker_left);
        expect_no_secret(r);
    }
}

// Without the login tool the plugin cancels by itself: it removes whatever
// is at the marker path but a directory, wherever the path points, and
// nothing else.
TEST(CancelAction, LocalCancelTouchesOnlyAFileAtTheMarkerPath) {
    const std::string home_marker = ".zodizi/.login-pending/lumivane-default.json";
    struct Case {
        const char *why;
        std::function<void(World &)> make;  // names the marker's place and puts something there
        std::string checked;                 // relative path checked afterwards
        bool exists_after;
        e2e::Only only = e2e::ANY_TARGET;
    } cases[] = {
        {"no marker: nothing touched", [](World &) {}, "lumivane-default.json", false},
        {"the marker under the home",
         [&](World &w) {
             w.env["USERPROFILE"] = w.native_dir();
             w.write(home_marker, e2e::pending_marker());
         },
         home_marker, false},
        {"LUMIVANE_PENDING_PATH names any file",
         [](World &w) {
             w.env["LUMIVANE_PENDING_PATH"] = "odd-name.txt";
             w.write("odd-name.txt", "x");
         },
         "odd-name.txt", false},
        {"a FIFO is removed",
         [](World &w) {
             w.env["LUMIVANE_PENDING_PATH"] = w.path("marker");
             mkfifo(w.path("marker").c_str(), 0644);
         },
         "marker", false, e2e::POSIX_ONLY},
        {"a directory is never removed", [](World &w) { mkdir(w.path("lumivane-default.json").c_str(), 0755); },
         "lumivane-default.json", true},
        {"nor a directory under the home, nor what it holds",
         [&](World &w) {
             w.env["USERPROFILE"] = w.native_dir();
             w.write(home_marker + "/keep", e2e::pending_marker());
         },
         home_marker + "/keep", true},
        // 1,024 bytes do not fit a path: nothing is removed, least of all
        // "v", which the first 1,023 bytes name.
        {"a marker path too long to hold names no file",
         [](World &w) {
             w.env["LUMIVANE_PENDING_PATH"] = e2e::dots(511, "vx");
             w.write("v", "{}");
             w.write("vx", "{}");
         },
         "v", true},
    };
    for (const auto &c : cases) {
        if (!e2e::runs_here(c.only)) continue;
        SCOPED_TRACE(c.why);
        World w;  // no login tool
        w.write("bystander.json", "{}");
        c.make(w);
        Result r = w.request("action=cancel");
        EXPECT_EQ(r.out, json_response("{\"ok\":true,\"state\":\"cancelled\",\"pending\":false,\"cli_present\":false}\n"));
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(w.exists(c.checked), c.exists_after);
        EXPECT_TRUE(w.exists("bystander.json"));
    }
}

TEST(RefreshAction, DecisionTable) {
    const Expected refreshed = status_opening("{\"ok\":true,\"refreshed\":true");
    struct Case {
        const char *why;
        bool token_missing;
        std::string creds;  // "" for none
        Reply local;
        Expected response;
        int exit_code;
        Runs token_runs;
        std::map<std::string, std::string> members;  // checked in refreshed documents
    } cases[] = {
        {"token tool and sign-in missing: the tool is named first", true, "", Reply(),
         error_response(200, "OK", "refresh_unavailable", "vantorel-lumivane-fetchtoken is not on this node"), 0, {}, {}},
        {"not signed in", false, "", Reply(),
         error_response(200, "OK", "not_logged_in", "start a device login first"), 0, {"--help"}, {}},
        {"tool vanishes (127)", false, CREDS, Reply("", e2e::NOT_FOUND_STATUS),
         error_response(200, "OK", "refresh_failed", "token CLI could not run"), 1, {"--help", "-local"}, {}},
        {"no JSON line", false, CREDS, Reply("token: ok\n"),
         error_response(200, "OK", "refresh_failed", "token CLI produced no JSON"), 1, {"--help", "-local"}, {}},
        {"empty token", false, CREDS, Reply("{\"access_token\":\"\",\"expires_at\":4102444800}"),
         error_response(200, "OK", "refresh_failed", "token CLI returned no token"), 1, {"--help", "-local"}, {}},
        {"null token", false, CREDS, Reply("{\"access_token\":null}"),
         error_response(200, "OK", "refresh_failed", "token CLI returned no token"), 1, {"--help", "-local"}, {}},
        {"a token of escape pairs only", false, CREDS, Reply("{\"access_token\":\"\\n\"}"),
         error_response(200, "OK", "refresh_failed", "token CLI returned no token"), 1, {"--help", "-local"}, {}},
        {"the provider revoked the refresh token: its words travel", false, CREDS,
         Reply(std::string("{\"ok\":false,\"error\":\"invalid_grant\",\"detail\":\"refresh token revoked by the provider\"") +
               ",\"refresh_token\":\"" + REFRESH_SECRET + "\"}"),
         tool_error_response("refresh_failed", "refresh token revoked by the provider", "invalid_grant"), 1,
         {"--help", "-local"}, {}},
        {"a code without a detail keeps the fixed detail", false, CREDS,
         Reply("{\"ok\":false,\"error\":\"revoked\",\"detail\":null}"),
         tool_error_response("refresh_failed", "token CLI returned no token", "revoked"), 1, {"--help", "-local"}, {}},
        {"a token after a NUL byte", false, CREDS,
         Reply(bytes("{\"note\":\"\0\",\"access_token\":\"x\",\"expires_at\":1600000000}")), refreshed, 0,
         {"--help", "-local"}, {{"expires_at", "1600000000"}, {"expired", "true"}}},
        {"milliseconds expiry and org", false, CREDS,
         Reply("{\"access_token\":\"" + std::string(ACCESS_SECRET) + "\",\"expires_at\":4102448400000,\"org_id\":\"org-9\"}"),
         refreshed, 0, {"--help", "-local"},
         {{"expires_at", "4102448400"}, {"expired", "false"}, {"org_id", "\"org-9\""}, {"account", "\"org-9\""},
          {"username", "\"org-9\""}, {"logged_in", "true"}, {"has_refresh", "true"}}},
        {"threshold is seconds; a past expiry is expired", false, CREDS,
         Reply("{\"access_token\":\"x\",\"expires_at\":100000000000}"), refreshed, 0, {"--help", "-local"},
         {{"expires_at", "100000000000"}, {"expired", "false"}}},
        {"past expiry", false, CREDS, Reply("{\"access_token\":\"x\",\"expires_at\":1600000000}"), refreshed, 0,
         {"--help", "-local"}, {{"expires_at", "1600000000"}, {"expired", "true"}}},
        {"no expiry keeps the snapshot's", false, CREDS, Reply("{\"access_token\":\"x\"}"), refreshed, 0,
         {"--help", "-local"}, {{"expires_at", "4102444800"}, {"expired", "false"}, {"org_id", "\"\""}}},
        {"an org from the credentials wins", false,
         "{\"access_token\":\"a\",\"org_id\":\"mine\"}", Reply("{\"access_token\":\"x\",\"org_id\":\"theirs\"}"),
         refreshed, 0, {"--help", "-local"}, {{"org_id", "\"mine\""}, {"account", "\"mine\""}, {"expires_at", "0"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        w.login_tool({{"--status", Reply("{\"ok\":true}")}});
        if (!c.token_missing) w.token_tool({{"--help", Reply("usage")}, {"-local", c.local}});
        if (!c.creds.empty()) w.write("auth.json", c.creds);
        Result r = w.request("action=refresh");
        if (check_response(r, c.response)) {
            std::string body = r.out.substr(strlen(e2e::JSON_HEADER));
            for (const auto &kv : c.members)
                EXPECT_NE(body.find("\"" + kv.first + "\":" + kv.second + ","), std::string::npos) << kv.first << " in " << body;
        }
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_EQ(w.runs("token"), c.token_runs);
        EXPECT_EQ(w.runs("login"), Runs{"--status"});
        expect_no_secret(r);
    }
}

TEST(RefreshAction, ExactDocument) {
    World w;
    w.login_tool({{"--status", Reply("{\"ok\":true}")}});
    w.token_tool({{"--help", Reply()}, {"-local", Reply("{\"access_token\":\"x\",\"expires_at\":4102444800,\"org_id\":\"o\"}")}});
    w.write("auth.json", "{\"access_token\":\"a\"}");
    Result r = w.request("action=refresh");
    long long now = e2e::doc_now(r.out);
    EXPECT_EQ(r.out, json_response(
                         "{\"ok\":true,\"refreshed\":true,\"provider\":\"lumivane\",\"logged_in\":true,\"username\":\"o\","
                         "\"account\":\"o\",\"org_id\":\"o\",\"expires_at\":4102444800,\"expires_in_sec\":" +
                         std::to_string(4102444800LL - now) +
                         ",\"expired\":false,\"has_refresh\":false,\"pending\":false,\"profile\":\"grandlumivane\","
                         "\"profile_exists\":false,\"cli_present\":true,\"token_cli_present\":true,"
                         "\"login_command\":\"" + e2e::json_path(w.env["LUMIVANE_LOGIN_BIN"]) +
                         "\",\"token_command\":\"" + e2e::json_path(w.env["LUMIVANE_TOKEN_BIN"]) +
                         "\",\"path\":\"auth.json\","
                         "\"protocol\":\"VNLOGIN-MACHINE-V1\",\"plugin\":\"plugin_lumivane_login\","
                         "\"plugin_version\":\"1.0.0\",\"now\":" + std::to_string(now) + "}\n"));
}

TEST(Secrets, NeverInAnyResponse) {
    // The fallback token file and every tool output hold the secrets too.
    const std::string everything = "{\"ok\":true,\"state\":\"done\",\"logged_in\":true,\"verify_url\":\"https://v\","
                                   "\"user_code\":\"C\"" + SECRET_KEYS + "}";
    for (const char *query : {"", "action=status", "action=start", "action=start&force", "action=poll",
                              "action=cancel", "action=refresh", "action=bogus", "format=json"}) {
        SCOPED_TRACE(query);
        World w;
        w.env["HOME"] = w.dir;
        w.write(".lumivane/token.json", CREDS);
        w.write(".zodizi/.login-pending/lumivane-default.json", "{\"created\":1" + SECRET_KEYS + "}");
        w.login_tool({}, Reply(everything + "\n" + ACCESS_SECRET + "\n", 0, REFRESH_SECRET));
        w.token_tool({}, Reply(everything));
        Result r = w.request(query);
        EXPECT_FALSE(r.out.empty());
        expect_no_secret(r);
    }
}

}  // namespace
