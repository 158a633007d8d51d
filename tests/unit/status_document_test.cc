// The status document, every byte of it, for snapshots decided from
// sources on a fixed clock reading: the document's "now" and
// "expires_in_sec" come from the snapshot, never from another reading.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "base/buf.h"
#include "base/version.h"
#include "state/snapshot.h"
#include "state/status_document.h"

namespace {

const long long NOW = 1700000000;

// The members after "path" that every document ends with, for a snapshot
// decided on NOW.
const std::string TAIL = ",\"protocol\":\"VNLOGIN-MACHINE-V1\",\"plugin\":\"plugin_lumivane_login\",\"plugin_version\":\"" +
                         std::string(LUMIVANE_VERSION) + "\",\"now\":1700000000}\n";

TEST(StatusDocumentBytes, EverySnapshotMember) {
    struct Case {
        const char *why;
        const char *creds;    // null: no credentials file
        const char *pending;  // null: no marker
        ToolResult login_run;
        const char *answer;   // the login tool's line; null: none
        StatusLead lead;
        std::string doc;
    } cases[] = {
        {"an empty node, login tool missing", nullptr, nullptr, TOOL_NOT_FOUND, nullptr, LEAD_PLAIN,
         "{\"ok\":true,\"provider\":\"lumivane\",\"logged_in\":false,\"username\":\"\",\"account\":\"\",\"org_id\":\"\","
         "\"expires_at\":0,\"expires_in_sec\":0,\"expired\":false,\"has_refresh\":false,\"pending\":false,"
         "\"profile\":\"grandlumivane\",\"profile_exists\":false,\"cli_present\":false,\"token_cli_present\":false,"
         "\"login_command\":\"login\",\"token_command\":\"token\",\"path\":\"/c/auth.json\",\"cli_error\":\"cli_not_found\"" +
             TAIL},
        {"signed in without an org: username LumiVane, expiry counted from the snapshot's now",
         R"({"access_token":"A","refresh_token":"R","expires_in":3600})", nullptr, TOOL_RAN, nullptr, LEAD_REFRESHED,
         "{\"ok\":true,\"refreshed\":true,\"provider\":\"lumivane\",\"logged_in\":true,\"username\":\"LumiVane\","
         "\"account\":\"\",\"org_id\":\"\",\"expires_at\":1700003600,\"expires_in_sec\":3600,\"expired\":false,"
         "\"has_refresh\":true,\"pending\":false,\"profile\":\"grandlumivane\",\"profile_exists\":false,"
         "\"cli_present\":true,\"token_cli_present\":false,\"login_command\":\"login\",\"token_command\":\"token\","
         "\"path\":\"/c/auth.json\"" +
             TAIL},
        {"expired an hour ago, org escaped", R"({"access_token":"A","org_id":"o\"1","expires_at":1699996400})", nullptr,
         TOOL_RAN, R"({"ok":false,"error":"e","detail":"d"})", LEAD_DONE,
         "{\"ok\":true,\"state\":\"done\",\"provider\":\"lumivane\",\"logged_in\":true,\"username\":\"o\\\"1\","
         "\"account\":\"o\\\"1\",\"org_id\":\"o\\\"1\",\"expires_at\":1699996400,\"expires_in_sec\":-3600,"
         "\"expired\":true,\"has_refresh\":false,\"pending\":false,\"profile\":\"grandlumivane\",\"profile_exists\":false,"
         "\"cli_present\":true,\"token_cli_present\":false,\"login_command\":\"login\",\"token_command\":\"token\","
         "\"path\":\"/c/auth.json\",\"cli_error\":\"e\",\"cli_detail\":\"d\"" +
             TAIL},
        {"pending at 900 s", nullptr, R"({"created":1699999100})", TOOL_RAN, nullptr, LEAD_CANCELLED,
         "{\"ok\":true,\"state\":\"cancelled\",\"provider\":\"lumivane\",\"logged_in\":false,\"username\":\"\","
         "\"account\":\"\",\"org_id\":\"\",\"expires_at\":0,\"expires_in_sec\":0,\"expired\":false,\"has_refresh\":false,"
         "\"pending\":true,\"pending_age_sec\":900,\"pending_id\":\"@ID@\",\"profile\":\"grandlumivane\","
         "\"profile_exists\":false,\"cli_present\":true,\"token_cli_present\":false,\"login_command\":\"login\","
         "\"token_command\":\"token\",\"path\":\"/c/auth.json\"" +
             TAIL},
        {"stale at 901 s", nullptr, R"({"created":1699999099})", TOOL_RAN, nullptr, LEAD_PLAIN,
         "{\"ok\":true,\"provider\":\"lumivane\",\"logged_in\":false,\"username\":\"\",\"account\":\"\",\"org_id\":\"\","
         "\"expires_at\":0,\"expires_in_sec\":0,\"expired\":false,\"has_refresh\":false,\"pending\":false,"
         "\"pending_age_sec\":901,\"pending_id\":\"@ID@\",\"profile\":\"grandlumivane\",\"profile_exists\":false,"
         "\"cli_present\":true,\"token_cli_present\":false,\"login_command\":\"login\",\"token_command\":\"token\","
         "\"path\":\"/c/auth.json\"" +
             TAIL},
        // A "created" after now: not pending, and no age is shown.
        {"created in the future", nullptr, R"({"created":1700000060})", TOOL_RAN, nullptr, LEAD_PLAIN,
         "{\"ok\":true,\"provider\":\"lumivane\",\"logged_in\":false,\"username\":\"\",\"account\":\"\",\"org_id\":\"\","
         "\"expires_at\":0,\"expires_in_sec\":0,\"expired\":false,\"has_refresh\":false,\"pending\":false,"
         "\"pending_id\":\"@ID@\",\"profile\":\"grandlumivane\",\"profile_exists\":false,"
         "\"cli_present\":true,\"token_cli_present\":false,\"login_command\":\"login\",\"token_command\":\"token\","
         "\"path\":\"/c/auth.json\"" +
             TAIL},
        // Found by the fuzz target: the saturated expiry is written whole,
        // and expires_in_sec stays expires_at - now.
        {"an expiry saturated at the largest time", R"({"expires_in":9223372036854775806})", nullptr, TOOL_RAN, nullptr,
         LEAD_PLAIN,
         "{\"ok\":true,\"provider\":\"lumivane\",\"logged_in\":false,\"username\":\"\",\"account\":\"\",\"org_id\":\"\","
         "\"expires_at\":9223372036854775807,\"expires_in_sec\":9223372035154775807,\"expired\":false,"
         "\"has_refresh\":false,\"pending\":false,\"profile\":\"grandlumivane\",\"profile_exists\":false,"
         "\"cli_present\":true,\"token_cli_present\":false,\"login_command\":\"login\",\"token_command\":\"token\","
         "\"path\":\"/c/auth.json\"" +
             TAIL},
        {"a marker without created: pending, no age", nullptr, "{}", TOOL_TIMED_OUT, nullptr, LEAD_PLAIN,
         "{\"ok\":true,\"provider\":\"lumivane\",\"logged_in\":false,\"username\":\"\",\"account\":\"\",\"org_id\":\"\","
         "\"expires_at\":0,\"expires_in_sec\":0,\"expired\":false,\"has_refresh\":false,\"pending\":true,"
         "\"pending_id\":\"@ID@\",\"profile\":\"grandlumivane\",\"profile_exists\":false,"
         "\"cli_present\":true,\"token_cli_present\":false,\"login_command\":\"login\",\"token_command\":\"token\","
         "\"path\":\"/c/auth.json\"" +
             TAIL},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        Sources src;
        memset(&src, 0, sizeof src);
        src.creds_path = "/c/auth.json";
        src.creds_text = c.creds;
        src.pending_exists = c.pending != nullptr;
        src.pending_text = c.pending;
        src.login_command = "login";
        src.token_command = "token";
        src.login_run = c.login_run;
        if (c.answer) {
            src.login_answer.text = c.answer;
            src.login_answer.end = c.answer + strlen(c.answer);
        }
        Status st;
        status_from_sources(&src, NOW, &st);
        // The marker's name is its content_id, tested where it is made.
        std::string want = c.doc;
        size_t id = want.find("@ID@");
        if (id != std::string::npos) {
            ASSERT_NE(c.pending, nullptr);
            char marker_id[CONTENT_ID_CAP];
            content_id(c.pending, strlen(c.pending), marker_id);
            want.replace(id, 4, marker_id);
        }
        Buf out = {};
        ASSERT_EQ(append_status_document(&out, &st, c.lead), 1);
        EXPECT_EQ(std::string(out.data, out.len), want);
        buf_free(&out);
    }
}

}  // namespace
