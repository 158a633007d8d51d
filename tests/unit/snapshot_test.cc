// The snapshot decided from sources already read: the credential rules,
// the pending marker's window, the login tool's run and the merge of its
// report, and the token tool's answer to a refresh; all on one "now".
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <tuple>

#include "state/snapshot.h"

namespace {

// What the files said: `signed_in` with an account and an expiry, or nothing;
// the pending marker present (and stale) or absent.
Status from_files(bool signed_in, bool marker) {
    Status st;
    memset(&st, 0, sizeof st);
    st.pending_age_sec = -1;
    if (signed_in) {
        strcpy(st.account, "org-file");
        st.expires_at = 1700000000;
        st.logged_in = 1;
        st.has_refresh = 1;
        st.profile_exists = 1;
    }
    if (marker) {
        st.pending_age_sec = 5000;  // older than the pending window: not pending
    } else {
        st.pending_file_missing = 1;
    }
    return st;
}

StatusReport report(int ok, const char *error, const char *account, long long expires_at, int flags) {
    StatusReport r;
    memset(&r, 0, sizeof r);
    r.ok = ok;
    strcpy(r.error, error);
    // A tool that gives an error gives its reason beside it.
    if (error[0]) snprintf(r.detail, sizeof r.detail, "why: %s", error);
    strcpy(r.account, account);
    r.expires_at = expires_at;
    r.logged_in = r.has_refresh = r.pending = r.profile_exists = flags;
    return r;
}

TEST(StatusMerge, FillsWhatTheFilesLeftAndNeverLowers) {
    struct Case {
        const char *why;
        Status files;
        StatusReport r;
        // Expected afterwards.
        std::string account;
        long long expires_at;
        int logged_in, has_refresh, pending, profile_exists, cli_ok;
        std::string cli_error, cli_detail;
    } cases[] = {
        {"no files: the report fills everything", from_files(false, false),
         report(1, "", "acct-tool", 1800000000, 1), "acct-tool", 1800000000, 1, 1, 1, 1, 1, ""},
        {"the files' values win", from_files(true, false), report(1, "", "acct-tool", 1800000000, 1),
         "org-file", 1700000000, 1, 1, 1, 1, 1, ""},
        {"a report that says no lowers nothing", from_files(true, true), report(1, "", "", 0, 0),
         "org-file", 1700000000, 1, 1, 0, 1, 1, ""},
        {"a stale marker keeps pending at 0 whatever the tool says", from_files(false, true),
         report(1, "", "", 0, 1), "", 0, 1, 1, 0, 1, 1, ""},
        {"not ok: its error, and the other keys still merged", from_files(false, false),
         report(0, "profile_locked", "acct-tool", 0, 1), "acct-tool", 0, 1, 1, 1, 1, 0, "profile_locked", "why: profile_locked"},
        {"ok: neither error nor detail is taken", from_files(false, false), report(1, "stray", "", 0, 0), "", 0,
         0, 0, 0, 0, 1, "", ""},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.why);
        Status st = c.files;
        merge_status_report(&st, &c.r);
        EXPECT_EQ(std::string(st.account), c.account);
        EXPECT_EQ(st.expires_at, c.expires_at);
        EXPECT_EQ(st.logged_in, c.logged_in);
        EXPECT_EQ(st.has_refresh, c.has_refresh);
        EXPECT_EQ(st.pending, c.pending);
        EXPECT_EQ(st.profile_exists, c.profile_exists);
        EXPECT_EQ(st.cli_ok, c.cli_ok);
        EXPECT_EQ(std::string(st.cli_error), c.cli_error);
        EXPECT_EQ(std::string(st.cli_detail), c.cli_detail);
        EXPECT_EQ(st.pending_age_sec, c.files.pending_age_sec);  // the report never gives an age
    }
}

const long long NOW = 1700000000;

// Sources with nothing in them: no files, a login tool that is not found.
Sources nothing() {
    Sources src;
    memset(&src, 0, sizeof src);
    src.creds_path = "/c/auth.json";
    src.login_command = "login";
    src.token_command = "token";
    src.login_run = TOOL_NOT_FOUND;
    return src;
}

Status decide(const Sources &src, long long now = NOW) {
    Status st;
    status_from_sources(&src, now, &st);
    return st;
}

TEST(Snapshot, CredentialRules) {
    struct Case {
        const char *why;
        const char *creds;  // null: no file read
        int logged_in, has_refresh;
        long long expires_at;
        int expired;
        std::string org_id, account;
    } cases[] = {
        {"no file", nullptr, 0, 0, 0, 0, "", ""},
        {"both tokens", R"({"access_token":"A","refresh_token":"R"})", 1, 1, 0, 0, "", ""},
        {"an empty token is none", R"({"access_token":"","refresh_token":""})", 0, 0, 0, 0, "", ""},
        {"a token of escapes only is none", R"({"access_token":"\n"})", 0, 0, 0, 0, "", ""},
        {"a token that is an object is none", R"({"access_token":{"v":"A"}})", 0, 0, 0, 0, "", ""},
        {"expiry in seconds, past", R"({"expires_at":1699999999})", 0, 0, 1699999999, 1, "", ""},
        {"expiry at now is not past", R"({"expires_at":1700000000})", 0, 0, NOW, 0, "", ""},
        {"expiry in milliseconds", R"({"expires_at":1700000001000})", 0, 0, 1700000001, 0, "", ""},
        {"a lifetime is added to now", R"({"expires_in":3600})", 0, 0, NOW + 3600, 0, "", ""},
        {"expires_at wins over expires_in", R"({"expires_at":1600000000,"expires_in":3600})", 0, 0, 1600000000, 1, "", ""},
        {"a lifetime of 0 is none", R"({"expires_in":0})", 0, 0, 0, 0, "", ""},
        // Found by the fuzz target: now + lifetime overflowed (undefined
        // behaviour). The expiry saturates and never passes.
        {"the crashing input's value", R"({"refr":"R","expires_in":9223372036854775807k"})", 0, 0, INT64_MAX, 0, "", ""},
        {"digits saturated by the reader", R"({"expires_in":99999999999999999999999})", 0, 0, INT64_MAX, 0, "", ""},
        {"one below the limit still overflows the sum", R"({"expires_in":9223372036854775806})", 0, 0, INT64_MAX, 0, "", ""},
        {"org_id is the account", R"({"org_id":"org-1"})", 0, 0, 0, 0, "org-1", "org-1"},
        {"org_id that is an array is absent", R"({"org_id":["org-1"]})", 0, 0, 0, 0, "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        Sources src = nothing();
        src.creds_text = c.creds;
        Status st = decide(src);
        // (logged_in, has_refresh, expires_at, expired), then the texts.
        EXPECT_EQ(std::make_tuple(st.logged_in, st.has_refresh, st.expires_at, st.expired),
                  std::make_tuple(c.logged_in, c.has_refresh, c.expires_at, c.expired));
        EXPECT_EQ(std::make_tuple(std::string(st.org_id), std::string(st.account)), std::make_tuple(c.org_id, c.account));
        EXPECT_EQ(st.now, NOW);
    }
}

TEST(Snapshot, PendingMarkerWindow) {
    struct Case {
        const char *why;
        int exists;
        const char *text;
        int pending;
        long long age;
        int file_missing, has_id;
    } cases[] = {
        {"no marker", 0, nullptr, 0, -1, 1, 0},
        {"a marker that cannot be read is pending", 1, nullptr, 1, -1, 0, 0},
        {"no created: pending, age unknown", 1, R"({"code":"X"})", 1, -1, 0, 1},
        {"created 0 reads as none", 1, R"({"created":0})", 1, -1, 0, 1},
        {"at 900 s still pending", 1, R"({"created":1699999100})", 1, 900, 0, 1},
        {"at 901 s stale", 1, R"({"created":1699999099})", 0, 901, 0, 1},
        {"created now", 1, R"({"created":1700000000})", 1, 0, 0, 1},
        {"created in the future is never pending", 1, R"({"created":1700000005})", 0, -5, 0, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        Sources src = nothing();
        src.pending_exists = c.exists;
        src.pending_text = c.text;
        Status st = decide(src);
        EXPECT_EQ(st.pending, c.pending);
        EXPECT_EQ(st.pending_age_sec, c.age);
        EXPECT_EQ(st.pending_file_missing, c.file_missing);
        EXPECT_EQ(st.pending_id[0] != '\0', c.has_id != 0);
    }
}

TEST(Snapshot, LoginToolRun) {
    struct Case {
        const char *why;
        ToolResult run;
        const char *answer;  // null: no JSON line
        int cli_present, cli_timed_out, cli_ok;
        std::string cli_error, account;
        int expired;
    } cases[] = {
        {"not found", TOOL_NOT_FOUND, nullptr, 0, 0, 0, CLI_NOT_FOUND, "", 0},
        {"cannot start", TOOL_NOT_STARTED, nullptr, 0, 0, 0, CLI_SPAWN_FAILED, "", 0},
        {"timed out: there, with an empty report", TOOL_TIMED_OUT, nullptr, 1, 1, 0, "", "", 0},
        {"ran without an answer", TOOL_RAN, nullptr, 1, 0, 0, "", "", 0},
        {"its error", TOOL_RAN, R"({"ok":false,"error":"profile_locked"})", 1, 0, 0, "profile_locked", "", 0},
        // Its expiry is merged first, then expired decided on now.
        {"its past expiry makes the snapshot expired", TOOL_RAN, R"({"ok":true,"account":"a","expires_at":1600000000})",
         1, 0, 1, "", "a", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        Sources src = nothing();
        src.login_run = c.run;
        if (c.answer) {
            src.login_answer.text = c.answer;
            src.login_answer.end = c.answer + strlen(c.answer);
        }
        Status st = decide(src);
        EXPECT_EQ(st.cli_present, c.cli_present);
        EXPECT_EQ(st.cli_timed_out, c.cli_timed_out);
        EXPECT_EQ(st.cli_ok, c.cli_ok);
        EXPECT_EQ(std::string(st.cli_error), c.cli_error);
        EXPECT_EQ(std::string(st.account), c.account);
        EXPECT_EQ(st.expired, c.expired);
    }
}

// Commands and the path are shown whole or not at all; the profile is the
// fixed name whatever the sources say.
TEST(Snapshot, CommandsShownWholeOrNotAtAll) {
    const std::string fits(PATH_CAP - 1, 'l'), too_long(PATH_CAP, 't');
    Sources src = nothing();
    src.login_command = fits.c_str();
    src.token_command = too_long.c_str();
    Status st = decide(src);
    EXPECT_EQ(std::string(st.login_command), fits);
    EXPECT_EQ(std::string(st.token_command), "");
    EXPECT_STREQ(st.path, "/c/auth.json");
    EXPECT_STREQ(st.profile, "grandlumivane");
}

TEST(Snapshot, TokenAnswerOfARefresh) {
    struct Case {
        const char *why;
        const char *creds;
        long long answer_expires_at;
        const char *answer_org;
        long long expires_at;
        int expired;
        std::string org_id, account;
    } cases[] = {
        {"a fresh expiry ends expired", R"({"expires_at":1600000000})", 1800000000, "", 1800000000, 0, "", ""},
        {"an answer without expiry keeps the old one", R"({"expires_at":1600000000})", 0, "", 1600000000, 1, "", ""},
        {"its past expiry is decided on the snapshot's now", R"({"expires_at":1800000000})", 1699999999, "",
         1699999999, 1, "", ""},
        {"its org fills what the credentials lacked", R"({})", 0, "org-t", 0, 0, "org-t", "org-t"},
        {"the credentials' org stays", R"({"org_id":"org-c"})", 0, "org-t", 0, 0, "org-c", "org-c"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        Sources src = nothing();
        src.creds_text = c.creds;
        Status st = decide(src);
        TokenAnswer a;
        memset(&a, 0, sizeof a);
        a.has_access_token = 1;
        a.expires_at = c.answer_expires_at;
        strcpy(a.org_id, c.answer_org);
        take_token_answer(&st, &a);
        EXPECT_EQ(st.expires_at, c.expires_at);
        EXPECT_EQ(st.expired, c.expired);
        EXPECT_EQ(std::string(st.org_id), c.org_id);
        EXPECT_EQ(std::string(st.account), c.account);
    }
}

}  // namespace
