// The device-login documents, built into a Buf on their own: every byte of
// each, with the texts a tool gave escaped and the defaults in place.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>

#include "actions/documents.h"
#include "base/buf.h"

namespace {

StartAnswer started(const char *verify_url, const char *user_code, long long expires_in, int interval) {
    StartAnswer a;
    memset(&a, 0, sizeof a);
    a.ok = 1;
    strcpy(a.verify_url, verify_url);
    strcpy(a.user_code, user_code);
    a.expires_in = expires_in;
    a.interval = interval;
    return a;
}

StartAnswer refused(const char *error, const char *detail) {
    StartAnswer a;
    memset(&a, 0, sizeof a);
    strcpy(a.error, error);
    strcpy(a.detail, detail);
    return a;
}

PollAnswer poll_failed(const char *error, const char *detail) {
    PollAnswer a;
    memset(&a, 0, sizeof a);
    strcpy(a.error, error);
    strcpy(a.detail, detail);
    return a;
}

TEST(Documents, ExactBytes) {
    struct Case {
        const char *why;
        std::function<int(Buf *)> append;
        std::string text;
    } cases[] = {
        {"device code", [](Buf *b) {
             StartAnswer a = started("https://x.test/d", "ABCD-1234", 900, 5);
             return append_device_code(b, &a, "0123456789abcdef");
         },
         "{\"ok\":true,\"flow\":\"device_code\",\"verify_url\":\"https://x.test/d\",\"user_code\":\"ABCD-1234\","
         "\"expires_in\":900,\"interval\":5,\"pending\":true,\"provider\":\"lumivane\","
         "\"pending_id\":\"0123456789abcdef\"}\n"},
        {"device code: the tool's texts are escaped, the numbers written whole", [](Buf *b) {
             StartAnswer a = started("https://x.test/d?q=\"<b>\"", "A\\B\n", 9000000000LL, -7);
             return append_device_code(b, &a, "");
         },
         "{\"ok\":true,\"flow\":\"device_code\",\"verify_url\":\"https://x.test/d?q=\\\"<b>\\\"\","
         "\"user_code\":\"A\\\\B\\n\",\"expires_in\":9000000000,\"interval\":-7,\"pending\":true,"
         "\"provider\":\"lumivane\"}\n"},
        {"already logged in, the tool's detail", [](Buf *b) {
             StartAnswer a = refused("exists", "profile \"x\" has tokens");
             return append_already_logged_in(b, &a, 1);
         },
         "{\"ok\":true,\"already_logged_in\":true,\"pending\":false,\"error\":\"already_logged_in\","
         "\"detail\":\"profile \\\"x\\\" has tokens\",\"logged_in\":true,"
         "\"hint\":\"pass force=1 to replace the existing session\"}\n"},
        {"already logged in, no detail: the default", [](Buf *b) {
             StartAnswer a = refused("exists", "");
             return append_already_logged_in(b, &a, 0);
         },
         "{\"ok\":true,\"already_logged_in\":true,\"pending\":false,\"error\":\"already_logged_in\","
         "\"detail\":\"credentials already exist\",\"logged_in\":false,"
         "\"hint\":\"pass force=1 to replace the existing session\"}\n"},
        {"poll failed with error and detail", [](Buf *b) {
             PollAnswer a = poll_failed("expired_token", "the code \"X\" expired");
             return append_poll_failed(b, &a, 1);
         },
         "{\"ok\":true,\"state\":\"failed\",\"error\":\"expired_token\",\"detail\":\"the code \\\"X\\\" expired\","
         "\"logged_in\":true,\"pending\":false}\n"},
        {"poll failed without either: the default code, no detail member", [](Buf *b) {
             PollAnswer a = poll_failed("", "");
             return append_poll_failed(b, &a, 0);
         },
         "{\"ok\":true,\"state\":\"failed\",\"error\":\"poll_failed\",\"logged_in\":false,\"pending\":false}\n"},
        {"pending", [](Buf *b) { return append_poll_pending(b, 7, "fedcba9876543210"); },
         "{\"ok\":true,\"state\":\"pending\",\"interval\":7,\"logged_in\":false,\"pending\":true,"
         "\"pending_id\":\"fedcba9876543210\"}\n"},
        {"pending, no marker to name: no pending_id member", [](Buf *b) { return append_poll_pending(b, 7, ""); },
         "{\"ok\":true,\"state\":\"pending\",\"interval\":7,\"logged_in\":false,\"pending\":true}\n"},
        {"local cancel", append_local_cancel,
         "{\"ok\":true,\"state\":\"cancelled\",\"pending\":false,\"cli_present\":false}\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        Buf b = {};
        EXPECT_EQ(c.append(&b), 1);
        EXPECT_EQ(std::string(b.data, b.len), c.text);
        buf_free(&b);

        // Into a Buf that has failed: nothing is added, and the result says so.
        Buf failed = {};
        buf_need(&failed, (size_t)-1);
        EXPECT_EQ(c.append(&failed), 0);
        EXPECT_EQ(failed.len, 0u);
        buf_free(&failed);
    }
}

}  // namespace
