// The merge of the login tool's --status report into a snapshot that the
// files have filled: it fills only what they left empty and never lowers
// a flag they raised.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <string>

#include "state/status.h"

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

}  // namespace
