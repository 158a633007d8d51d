// The console page end to end: the bytes the program serves are the HTML
// header, then the page template with the theme head block and the theme
// bridge script each spliced in once at its place, and nothing else.
//
// The expected page is assembled here from the web files in src/web/, the
// same files the build embeds, so the test covers the whole way from those
// files to standard output (embed script, arrays, writer). The fixed frame
// texts are checked on their own as well, so that a fault shared by the
// build script and this assembly still shows.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "harness.h"

using e2e::Result;
using e2e::World;

namespace {

const std::string HTML_HEADER =
    "Content-Type: text/html; charset=utf-8\r\n"
    "Cache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "X-Frame-Options: SAMEORIGIN\r\n"
    "Referrer-Policy: same-origin\r\n"
    "\r\n";
const std::string PAGE_OPENING =
    "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
    "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">\n"
    "<title>lumivane</title>\n";
const std::string PAGE_CLOSING = "</body></html>\n";

// src/web/, found from this file's own path (tests/e2e/ beside src/).
std::string web_dir() {
    std::string here = __FILE__;
    return here.substr(0, here.rfind("/tests/e2e/")) + "/src/web/";
}

std::string slurp(const std::string &name) {
    std::ifstream f(web_dir() + name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// Replaces the only occurrence of `what`; fails the test when there is not
// exactly one.
void replace_once(std::string &text, const std::string &what, const std::string &with) {
    size_t at = text.find(what);
    ASSERT_NE(at, std::string::npos) << "missing in page.html: " << what;
    ASSERT_EQ(text.find(what, at + 1), std::string::npos) << "repeated in page.html: " << what;
    text.replace(at, what.size(), with);
}

struct Pieces {
    std::string theme_head;    // early theme script + palette style
    std::string theme_bridge;  // bridge script + line feed
    std::string page;          // the whole expected body
};

Pieces expected_pieces() {
    Pieces p;
    p.theme_head = "<script>" + slurp("theme_early.js") + "</script><style>" + slurp("theme.css") + "</style>";
    p.theme_bridge = "<script>" + slurp("theme_bridge.js") + "</script>\n";
    p.page = slurp("page.html");
    replace_once(p.page, "<link rel=\"stylesheet\" href=\"console.css\">", "<style>" + slurp("console.css") + "</style>");
    for (const char *script : {"vendor/qrcode.js", "console_logic.js", "console.js"}) {
        replace_once(p.page, std::string("<script src=\"") + script + "\"></script>",
                     "<script>" + slurp(script) + "</script>");
    }
    replace_once(p.page, "<!--@theme-head@-->", p.theme_head);
    replace_once(p.page, "<!--@theme-bridge@-->", p.theme_bridge);
    return p;
}

size_t occurrences(const std::string &text, const std::string &what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

TEST(Page, ServedBytesAreHeaderAndTemplateWithEachBlockSplicedOnce) {
    Pieces want = expected_pieces();
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    World w;
    w.login_tool({});
    w.token_tool({});
    Result r = w.request("");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");

    ASSERT_EQ(HTML_HEADER.size(), 159u);
    ASSERT_EQ(r.out.compare(0, HTML_HEADER.size(), HTML_HEADER), 0) << "header differs";
    std::string body = r.out.substr(HTML_HEADER.size());
    EXPECT_EQ(body, want.page);

    // The frame, checked without the assembly above.
    // No Status: line among the header lines (the body may hold the word).
    size_t header_end = r.out.find("\r\n\r\n");
    ASSERT_NE(header_end, std::string::npos);
    EXPECT_EQ(r.out.substr(0, header_end + 2).find("Status:"), std::string::npos);
    EXPECT_EQ(body.compare(0, PAGE_OPENING.size(), PAGE_OPENING), 0);
    EXPECT_EQ(PAGE_OPENING.size(), 153u);
    ASSERT_GE(body.size(), PAGE_CLOSING.size());
    EXPECT_EQ(body.substr(body.size() - PAGE_CLOSING.size()), PAGE_CLOSING);
    EXPECT_EQ(occurrences(body, want.theme_head), 1u);
    EXPECT_EQ(occurrences(body, want.theme_bridge), 1u);
    EXPECT_EQ(body.find(want.theme_head), PAGE_OPENING.size()) << "head block right after the title";
    EXPECT_EQ(body.compare(PAGE_OPENING.size() + want.theme_head.size(), 8, "\n<style>"), 0);
    EXPECT_EQ(body.rfind(want.theme_bridge), body.size() - PAGE_CLOSING.size() - want.theme_bridge.size())
        << "bridge right before the closing tags";
    EXPECT_EQ(occurrences(body, "</script>\n" + want.theme_bridge + PAGE_CLOSING), 1u)
        << "the console script ends right before the bridge";
    for (size_t i = 0; i < body.size(); i++) {
        unsigned char c = (unsigned char)body[i];
        ASSERT_TRUE(c == '\n' || (c >= 0x20 && c <= 0x7e)) << "byte " << int(c) << " at " << i;
    }
    // The page runs no tool: it is the same whatever the node holds.
    EXPECT_TRUE(w.runs("login").empty());
    EXPECT_TRUE(w.runs("token").empty());
}

TEST(Page, OtherParametersAndAPasswordLeaveThePageUnchanged) {
    Pieces want = expected_pieces();
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    struct Case {
        const char *why;
        const char *query;
        const char *password;  // BOT_PASSWORD, null for none
    } cases[] = {
        {"console parameters", "node=n1&id=7&plugin=lumivane&embed=1&theme=light", nullptr},
        {"password in pwd", "pwd=s3cret", "s3cret"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World w;
        if (c.password) w.env["BOT_PASSWORD"] = c.password;
        Result r = w.request(c.query);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, HTML_HEADER + want.page);
    }
}

}  // namespace
