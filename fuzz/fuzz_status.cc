// Status collection and the actions, in process, over the fake platform:
// the credentials file, the fallback token file, the pending marker and
// the profile marker (each missing, a regular file with fuzzed bytes, a
// directory or a FIFO) and the answers of both tools (fuzzed output, run,
// not found or not startable) all come from the input.
//
// Checked: the invariants of a collected Status; the status document is
// one valid JSON object in well-formed UTF-8 whose texts decode back to the
// record's fields (each ill-formed part as U+FFFD); a whole request
// (plugin_main) writes exactly one response whose body is valid JSON in
// well-formed UTF-8, whatever bytes the files and tools hold; no text of
// the record comes from an object or array value; and only the fixed
// option texts ever reach a command line, whatever the query holds.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/buf.h"
#include "cgi/emit.h"
#include "app/entry.h"
#include "app/route.h"
#include "fuzz_support.h"
#include "platform_fake.h"
#include "state/status.h"
#include "state/status_document.h"

namespace {

const char HOME[] = "/home/op";
const char CREDS[] = "/home/op/.config/lumivane/auth.json";
const char OWN_CREDS[] = "/keys/auth.json";
const char FALLBACK[] = "/home/op/.lumivane/token.json";
const char PENDING[] = "/home/op/.zodizi/.login-pending/lumivane-default.json";
const char MARKER[] = "/home/op/.zodizi/vantorel-env/grandlumivane.txt";
const char OWN_MARKER[] = "/keys/vantorel-env/grandlumivane.txt";

const char PLANTED[] = "tok_PLANTED_7c1e";

const char *const ALLOWED_COMMANDS[] = {
    "login --status", "login --start", "login --start --force", "login --poll",
    "login --cancel", "token --help",  "token -local",
};

void place(FuzzedDataProvider &in, const char *path, const std::string &bytes) {
    switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0: break;  // missing
        case 1: fake_set_entry(path, FAKE_DIRECTORY, ""); break;
        case 2: fake_set_entry(path, FAKE_FIFO, ""); break;
        default: fake_set_entry(path, FAKE_REGULAR, bytes); break;
    }
}

ToolResult tool_result(FuzzedDataProvider &in) {
    switch (in.ConsumeIntegralInRange(0, 5)) {
        case 0: return TOOL_NOT_FOUND;
        case 1: return TOOL_NOT_STARTED;
        default: return TOOL_RAN;
    }
}

bool text_ok(const char *t, size_t cap) { return memchr(t, '\0', cap) != nullptr; }

void check_record(const Status &st) {
    FUZZ_CHECK(text_ok(st.path, sizeof st.path) && text_ok(st.account, sizeof st.account));
    FUZZ_CHECK(text_ok(st.org_id, sizeof st.org_id) && text_ok(st.cli_error, sizeof st.cli_error));
    FUZZ_CHECK(strcmp(st.profile, "grandlumivane") == 0);
    FUZZ_CHECK(st.expires_at >= 0);
    FUZZ_CHECK(!st.expired || st.expires_at > 0);
    FUZZ_CHECK(!st.pending_file_missing || st.pending_age_sec == -1);
    if (!st.cli_present) {
        FUZZ_CHECK(!st.cli_ok);
        FUZZ_CHECK(strcmp(st.cli_error, "cli_not_found") == 0 ||
                   strcmp(st.cli_error, "cli_spawn_failed") == 0);
    }
    int flags[] = {st.logged_in, st.has_refresh, st.expired, st.pending, st.profile_exists,
                   st.cli_present, st.pending_file_missing, st.cli_ok, st.token_cli_present};
    for (int f : flags) FUZZ_CHECK(f == 0 || f == 1);
}

void check_document(const Status &st) {
    Buf out = {};
    append_status_document(&out, &st, LEAD_PLAIN);
    std::string doc(out.data, out.len);
    buf_free(&out);
    std::vector<JsonScan::Member> m;
    FUZZ_CHECK(strict_utf8_valid(doc));
    FUZZ_CHECK(parse_document(doc, &m));
    FUZZ_CHECK(keys_unique(m));
    const JsonScan::Member *account = find_member(m, "account");
    const JsonScan::Member *org = find_member(m, "org_id");
    const JsonScan::Member *path = find_member(m, "path");
    FUZZ_CHECK(account && account->decoded == reference_utf8_repair(st.account));
    FUZZ_CHECK(org && org->decoded == reference_utf8_repair(st.org_id));
    FUZZ_CHECK(path && path->decoded == reference_utf8_repair(st.path));
    const JsonScan::Member *err = find_member(m, "cli_error");
    FUZZ_CHECK(st.cli_error[0] ? (err && err->decoded == reference_utf8_repair(st.cli_error)) : err == nullptr);
    FUZZ_CHECK((find_member(m, "pending_age_sec") != nullptr) == (st.pending_age_sec >= 0));
    const JsonScan::Member *in_sec = find_member(m, "expires_in_sec");
    const JsonScan::Member *now = find_member(m, "now");
    FUZZ_CHECK(in_sec && now);
    if (st.expires_at > 0) {
        FUZZ_CHECK(strtoll(in_sec->raw.c_str(), nullptr, 10) ==
                   st.expires_at - strtoll(now->raw.c_str(), nullptr, 10));
    }
}

// The response of one whole request: header lines, a blank line, a body.
void check_response(const std::string &out, bool page) {
    size_t blank = out.find("\r\n\r\n");
    FUZZ_CHECK(blank != std::string::npos);
    std::string body = out.substr(blank + 4);
    FUZZ_CHECK(strict_utf8_valid(body));
    if (page) {
        FUZZ_CHECK(out.compare(0, 23, "Content-Type: text/html") == 0);
        return;
    }
    std::vector<JsonScan::Member> m;
    FUZZ_CHECK(parse_document(body, &m));
    FUZZ_CHECK(keys_unique(m));
    FUZZ_CHECK(!m.empty() && m[0].key == "ok");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    fake_reset();
    fake_set_now(in.ConsumeIntegralInRange<long long>(0, 1LL << 40));
    fake_setenv("HOME", HOME);
    fake_setenv("LUMIVANE_LOGIN_BIN", "login");
    fake_setenv("LUMIVANE_TOKEN_BIN", "token");
    bool own_creds = in.ConsumeBool();
    if (own_creds) fake_setenv("LUMIVANE_CREDS_PATH", OWN_CREDS);

    std::string creds = in.ConsumeRandomLengthString(4000);
    std::string fallback = in.ConsumeRandomLengthString(2000);
    std::string pending = in.ConsumeRandomLengthString(200);
    std::string status_out = in.ConsumeRandomLengthString(4000);
    std::string action_out = in.ConsumeRandomLengthString(4000);
    std::string query = up_to_nul(in.ConsumeRandomLengthString(200));

    // A secret planted, ahead of the fuzzed bytes, only inside object and
    // array values of the text fields. Unless the fuzzed bytes hold it
    // themselves, no response may carry it.
    bool fuzzed_has_secret = false;
    for (const std::string *t : {&creds, &fallback, &pending, &status_out, &action_out, &query})
        fuzzed_has_secret = fuzzed_has_secret || t->find(PLANTED) != std::string::npos;
    if (in.ConsumeBool()) {
        std::string obj = std::string("{\"access_token\":\"") + PLANTED + "\",\"x\":1}";
        std::string arr = std::string("[\"") + PLANTED + "\",2]";
        creds = "{\"org_id\":" + obj + "," + creds;
        fallback = "{\"org_id\":" + arr + "," + fallback;
        std::string texts = "{\"account\":" + obj + ",\"error\":" + arr + ",\"detail\":" + obj +
                            ",\"verify_url\":" + arr + ",\"user_code\":" + obj + ",\"org_id\":" + arr +
                            ",\"state\":" + obj + ",";
        status_out = texts + status_out;
        action_out = texts + action_out;
    }

    place(in, own_creds ? OWN_CREDS : CREDS, creds);
    place(in, FALLBACK, fallback);
    place(in, PENDING, pending);
    place(in, own_creds ? OWN_MARKER : MARKER, "");
    fake_set_tool("login", "--status", tool_result(in), status_out);
    fake_set_tool("token", "--help", tool_result(in), "usage");
    ToolResult action_result = tool_result(in);
    const char *const ACTION_ARGS[][2] = {{"login", "--start"}, {"login", "--start --force"},
                                          {"login", "--poll"},  {"login", "--cancel"},
                                          {"token", "-local"}};
    for (const auto &a : ACTION_ARGS) fake_set_tool(a[0], a[1], action_result, action_out);

    Status st;
    collect_status(&st);
    check_record(st);
    check_document(st);

    // The same world, one whole request. The query is fuzzed around a
    // chosen action so that each handler is reached.
    const char *const ACTIONS[] = {"status", "start", "poll", "cancel", "refresh", "other", ""};
    int which = in.ConsumeIntegralInRange(0, 6);
    std::string q = ACTIONS[which][0] ? std::string("action=") + ACTIONS[which] + "&" + query : query;
    fake_setenv("QUERY_STRING", q.c_str());
    size_t logged_before = fake_command_log().size();
    char name[] = "plugin_lumivane_login";
    char *argv[] = {name, nullptr};
    int rc = plugin_main(1, argv);
    FUZZ_CHECK(rc == 0 || rc == 1);
    check_response(fake_stdout(), route_request(q.c_str()) == ROUTE_PAGE);
    if (!fuzzed_has_secret) {
        FUZZ_CHECK(fake_stdout().find(PLANTED) == std::string::npos);
        FUZZ_CHECK(strstr(st.account, PLANTED) == nullptr && strstr(st.org_id, PLANTED) == nullptr);
        FUZZ_CHECK(strstr(st.cli_error, PLANTED) == nullptr);
    }
    FUZZ_CHECK(fake_command_log().size() > logged_before || route_request(q.c_str()) == ROUTE_PAGE ||
               route_request(q.c_str()) == ROUTE_UNKNOWN);

    for (const std::string &line : fake_command_log()) {
        bool allowed = false;
        for (const char *c : ALLOWED_COMMANDS) allowed = allowed || line == c;
        FUZZ_CHECK(allowed);
    }
    return 0;
}
