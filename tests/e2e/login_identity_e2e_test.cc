// Which pending login is whose: the start answer, the poll answer and the
// status document name the node's pending login by its marker's content
// ("pending_id"), so that a page can tell its own login from one that
// replaced it, however close the two starts were.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "harness.h"

using e2e::content_id_of;
using e2e::Reply;
using e2e::Result;
using e2e::read_doc;
using e2e::World;

namespace {

const char MARKER[] = "lumivane-default.json";

// A --start reply that leaves a marker for `code`, as a login tool does.
// Markers of two starts in one second differ only in their code.
Reply start_leaving_marker(const std::string &created, const std::string &code) {
    std::string marker = "{\"created\":" + created + ",\"user_code\":\"" + code + "\"}";
    return Reply("{\"ok\":true,\"verify_url\":\"https://x.test/d\",\"user_code\":\"" + code + "\"}\n", 0, "",
                 "printf '%s' " + e2e::sh_quote(marker) + " > " + MARKER);
}

std::string in_quotes(const std::string &s) { return "\"" + s + "\""; }

TEST(WhichLoginIsWhose, StatusNamesTheMarkersContent) {
    struct Case {
        const char *why;
        std::string marker;  // "(none)": no file; "(dir)": a directory in its place
        const char *pending;
        const char *id;      // "(file)": the content's name; else the member's raw text
    } cases[] = {
        {"a marker is named by its content", "{\"created\":1,\"user_code\":\"AAAA\"}", "false", "(file)"},
        // SHA-256 of no bytes opens with these 16 digits.
        {"an empty marker has a name too", "", "true", "\"e3b0c44298fc1c14\""},
        {"no marker, no name", "(none)", "false", "(absent)"},
        {"a marker that cannot be read has no name", "(dir)", "true", "(absent)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        w.login_tool({{"--status", Reply("{\"ok\":true}")}});
        if (c.marker == "(dir)") {
            mkdir(w.path(MARKER).c_str(), 0755);
        } else if (c.marker != "(none)") {
            w.write(MARKER, c.marker);
        }
        Result r = w.request("action=status");
        e2e::Doc doc = read_doc(r);
        EXPECT_EQ(doc.raw("pending"), c.pending) << r.out;
        std::string id = std::string(c.id) == "(file)" ? in_quotes(content_id_of(w, MARKER)) : c.id;
        EXPECT_EQ(doc.raw("pending_id"), id) << r.out;
        EXPECT_EQ(r.exit_code, 0);
    }
}

// Two starts in the same second, the second replacing the first: each
// answer names its own marker, the status names the one the node holds,
// and a poll names it too, so a page holding the first sees at once that
// the node's pending login is not its own.
TEST(WhichLoginIsWhose, TwoStartsInOneSecondGetTwoNames) {
    World w;
    std::string created = std::to_string((long long)time(nullptr));
    w.login_tool({{"--status", Reply("{\"ok\":true}")},
                  {"--start", start_leaving_marker(created, "AAAA-0001")},
                  {"--start --force", start_leaving_marker(created, "AAAA-0002")},
                  {"--poll", Reply("{\"ok\":true,\"state\":\"pending\",\"interval\":5}")}});

    Result first = w.request("action=start");
    std::string first_id = content_id_of(w, MARKER);
    ASSERT_EQ(first_id.size(), 16u) << "the stand-in left no marker";
    EXPECT_EQ(first.exit_code, 0);
    // The device-code document as before, with the name last.
    EXPECT_EQ(read_doc(first).body, "{\"ok\":true,\"flow\":\"device_code\",\"verify_url\":\"https://x.test/d\","
                           "\"user_code\":\"AAAA-0001\",\"expires_in\":900,\"interval\":5,\"pending\":true,"
                           "\"provider\":\"lumivane\",\"pending_id\":\"" + first_id + "\"}\n")
        << first.out;
    EXPECT_EQ(read_doc(w.request("action=status")).raw("pending_id"), in_quotes(first_id));

    Result second = w.request("action=start&force=1");
    std::string second_id = content_id_of(w, MARKER);
    EXPECT_NE(second_id, first_id);
    EXPECT_EQ(read_doc(second).raw("pending_id"), in_quotes(second_id)) << second.out;

    Result status = w.request("action=status");
    EXPECT_EQ(read_doc(status).raw("pending_id"), in_quotes(second_id)) << status.out;
    Result poll = w.request("action=poll");
    EXPECT_EQ(read_doc(poll).body, "{\"ok\":true,\"state\":\"pending\",\"interval\":5,\"logged_in\":false,\"pending\":true,"
                          "\"pending_id\":\"" + second_id + "\"}\n")
        << poll.out;
}

// A start whose tool leaves its marker where the node does not look (a
// wrong LUMIVANE_PENDING_PATH): the answer carries no name, and the page
// can say that the node shows no pending login for this code.
TEST(WhichLoginIsWhose, AStartWithoutAMarkerCarriesNoName) {
    World w;
    w.login_tool({{"--status", Reply("{\"ok\":true}")},
                  {"--start", Reply("{\"ok\":true,\"verify_url\":\"https://x.test/d\",\"user_code\":\"C\"}", 0, "",
                                    "printf '{}' > elsewhere.json")}});
    Result r = w.request("action=start");
    EXPECT_EQ(read_doc(r).body, "{\"ok\":true,\"flow\":\"device_code\",\"verify_url\":\"https://x.test/d\",\"user_code\":\"C\","
                       "\"expires_in\":900,\"interval\":5,\"pending\":true,\"provider\":\"lumivane\"}\n")
        << r.out;
    EXPECT_TRUE(w.exists("elsewhere.json"));
}

}  // namespace
