// The console page end to end: the bytes the program serves are the HTML
// header, then the page template with the theme head block and the theme
// bridge script each spliced in once at its place, and nothing else. The
// header's Content-Security-Policy names, by hash, exactly the inline
// blocks of the page served; the hashes are recomputed here with the
// system's sha256sum, apart from the build's own code.
//
// The expected page is assembled here from the web files in src/web/, the
// same files the build embeds (the ones page.html names), made lean here
// by a second, independent reading of the rule (comments out but licence
// notices, no indentation or empty lines), so the test covers the whole way
// from those files to standard output (embed script, arrays, writer). The
// fixed frame texts are checked on their own as well, so that a fault
// shared by the build script and this assembly still shows.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>
#include <ctype.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

using e2e::Result;
using e2e::World;

namespace {

// The header lines before the policy, and the policy line's name.
const std::string HTML_HEADER_FIXED =
    "Content-Type: text/html; charset=utf-8\r\n"
    "Cache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "X-Frame-Options: SAMEORIGIN\r\n"
    "Referrer-Policy: same-origin\r\n";
const std::string POLICY_NAME = "Content-Security-Policy: ";
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

bool is_one_of(char c, const char *set) { return c != '\0' && strchr(set, c) != nullptr; }

// The blanks of a lean script or style sheet that no reader needs, outside
// its '...' and "..." literals (copied as they are; '\x03' stands for a
// kept licence comment). In a script a run of blanks becomes one blank
// between two characters that would otherwise melt into one token (two of
// letters, digits, '_', '$', '.', '\\', or "+ +", "- -", "/ /", "/ *"),
// and goes everywhere else. In a style sheet a run goes next to '{', '}',
// ';', ',', a literal or a licence comment, and after ':'. In both, ";}"
// then becomes "}".
std::string tight(const std::string &text, bool script) {
    auto word = [](char c) { return isalnum((unsigned char)c) || is_one_of(c, "_$.\\"); };
    std::string out;
    char last = '\0';  // the code character before a run, '"' after a literal
    for (size_t at = 0; at < text.size();) {
        char c = text[at];
        if (c == '\'' || c == '"') {
            size_t end = at + 1;
            while (end < text.size() && text[end] != c && text[end] != '\n') end += text[end] == '\\' ? 2 : 1;
            EXPECT_TRUE(end < text.size() && text[end] == c) << "a string is not closed: " << text.substr(at, 40);
            out += text.substr(at, end + 1 - at);
            last = '"';
            at = end + 1;
            continue;
        }
        if (c != ' ') {
            out += c;
            last = c;
            at++;
            continue;
        }
        size_t end = text.find_first_not_of(' ', at);
        char next = end == std::string::npos ? '\0' : text[end];
        next = next == '\'' ? '"' : next;
        bool keep;
        if (script) {
            keep = (word(last) && word(next)) || (last == '+' && next == '+') || (last == '-' && next == '-') ||
                   (last == '/' && (next == '/' || next == '*'));
            if (keep) out += ' ';
        } else {
            const char *ends = "{};,\"\x03";
            keep = !is_one_of(last, ends) && last != ':' && !is_one_of(next, ends);
            if (keep) out += text.substr(at, end - at);
        }
        at = end == std::string::npos ? text.size() : end;
    }
    {
        // ";}" in the code only: a literal is copied as it is.
        std::string joined;
        bool quoted = false;
        char quote = '\0';
        for (size_t i = 0; i < out.size(); i++) {
            char c = out[i];
            if (quoted) {
                if (c == '\\' && i + 1 < out.size()) {
                    joined += c;
                    c = out[++i];
                } else if (c == quote) {
                    quoted = false;
                }
            } else if (c == '\'' || c == '"') {
                quoted = true;
                quote = c;
            } else if (c == ';' && i + 1 < out.size() && out[i + 1] == '}') {
                continue;
            }
            joined += c;
        }
        out = joined;
    }
    return out;
}

// A script or style sheet as the page carries it: each comment removed
// unless it opens with "/*!" (kept as it is), every line without its
// leading and trailing blanks, empty lines dropped, the line feed between
// two lines dropped where the first ends with ';', '{' or ',' or the
// second starts with '}', ')' or ']', and then tight().
std::string lean(const std::string &text, bool script) {
    std::string code;
    std::vector<std::string> kept;
    for (size_t at = 0; at < text.size();) {
        size_t open = text.find("/*", at);
        if (open == std::string::npos) open = text.size();
        code += text.substr(at, open - at);
        if (open == text.size()) break;
        size_t close = text.find("*/", open + 2);
        close = close == std::string::npos ? text.size() : close + 2;
        if (text.compare(open, 3, "/*!") == 0) {
            kept.push_back(text.substr(open, close - open));
            code += '\x03';
        }
        at = close;
    }
    std::string out;
    std::istringstream lines(code);
    std::string line;
    while (std::getline(lines, line)) {
        size_t first = line.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        line = line.substr(first, line.find_last_not_of(' ') - first + 1);
        bool join = !out.empty() && (std::string(";{,").find(out.back()) != std::string::npos ||
                                     std::string("})]").find(line[0]) != std::string::npos);
        if (!out.empty() && !join) out += '\n';
        out += line;
    }
    // The file's last line feed goes too after ';', '{' or ','.
    if (!code.empty() && code.back() == '\n' && !out.empty() && std::string(";{,").find(out.back()) == std::string::npos) {
        out += '\n';
    }
    out = tight(out, script);
    std::string result;
    size_t next = 0;
    for (char c : out) {
        if (c == '\x03' && next < kept.size()) result += kept[next++];
        else result += c;
    }
    return result;
}

// The include tags of page.html, in order: <link rel="stylesheet"
// href="NAME"> and <script src="NAME"></script>, with the name each gives.
struct Include {
    std::string tag;
    std::string name;
    bool script;
};

std::vector<Include> page_includes(const std::string &page) {
    std::vector<Include> out;
    const std::string css = "<link rel=\"stylesheet\" href=\"", js = "<script src=\"";
    for (size_t at = 0; at < page.size(); at++) {
        bool script = page.compare(at, js.size(), js) == 0;
        if (!script && page.compare(at, css.size(), css) != 0) continue;
        size_t from = at + (script ? js.size() : css.size());
        size_t quote = page.find('"', from);
        const std::string end = script ? "\"></script>" : "\">";
        if (quote == std::string::npos || page.compare(quote, end.size(), end) != 0) continue;
        out.push_back({page.substr(at, quote + end.size() - at), page.substr(from, quote - from), script});
        at = quote;
    }
    return out;
}

struct Pieces {
    std::string theme_head;    // early theme script + palette style
    std::string theme_bridge;  // bridge script + line feed
    std::string page;          // the whole expected body
};

Pieces expected_pieces() {
    Pieces p;
    p.theme_head = "<script>" + lean(slurp("theme_early.js"), true) + "</script><style>" + lean(slurp("theme.css"), false) + "</style>";
    p.theme_bridge = "<script>" + lean(slurp("theme_bridge.js"), true) + "</script>\n";
    // page.html without the blanks that open its lines.
    std::string html = slurp("page.html");
    for (char c : html) {
        bool opens_line = !p.page.empty() && p.page.back() == '\n';
        if (c == ' ' && opens_line) continue;
        p.page += c;
    }
    std::vector<Include> includes = page_includes(p.page);
    EXPECT_GE(includes.size(), 4u) << "page.html names its style sheet and scripts";
    for (const Include &inc : includes) {
        std::string text = slurp(inc.name);
        EXPECT_FALSE(text.empty()) << "page.html names a missing file: " << inc.name;
        replace_once(p.page, inc.tag, inc.script ? "<script>" + lean(text, true) + "</script>" : "<style>" + lean(text, false) + "</style>");
    }
    // Scripts named one after another run as one block.
    const std::string seam = "</script>\n<script>";
    for (size_t at = p.page.find(seam); at != std::string::npos; at = p.page.find(seam, at)) {
        p.page.replace(at, seam.size(), "\n");
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

// The served header split into its fixed lines, the policy value and the
// body; fails the test when the header has another shape.
struct Served {
    std::string policy;
    std::string body;
};

Served split_page_response(const std::string &out) {
    Served s;
    EXPECT_EQ(out.compare(0, HTML_HEADER_FIXED.size(), HTML_HEADER_FIXED), 0) << "header differs";
    size_t at = HTML_HEADER_FIXED.size();
    EXPECT_EQ(out.compare(at, POLICY_NAME.size(), POLICY_NAME), 0) << "no policy line after the fixed lines";
    at += POLICY_NAME.size();
    size_t end = out.find("\r\n\r\n", at);
    if (end == std::string::npos) {
        ADD_FAILURE() << "header does not end";
        return s;
    }
    s.policy = out.substr(at, end - at);
    s.body = out.substr(end + 4);
    return s;
}

// 'sha256-<base64>' of a text, from the system's sha256sum.
std::string sha256_source(const World &w, const std::string &text) {
    w.write("block", text);
    std::string cmd = "sha256sum " + e2e::sh_quote(w.path("block"));
    FILE *p = popen(cmd.c_str(), "r");
    char hex[65] = {0};
    if (!p || fread(hex, 1, 64, p) != 64) ADD_FAILURE() << "sha256sum failed";
    if (p) pclose(p);
    static const char B64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    for (int i = 0; i < 64; i += 2) bytes += (char)std::stoi(std::string(hex + i, 2), nullptr, 16);
    std::string b64;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = (unsigned char)bytes[i] << 16;
        if (i + 1 < bytes.size()) v |= (unsigned char)bytes[i + 1] << 8;
        if (i + 2 < bytes.size()) v |= (unsigned char)bytes[i + 2];
        b64 += B64[(v >> 18) & 63];
        b64 += B64[(v >> 12) & 63];
        b64 += i + 1 < bytes.size() ? B64[(v >> 6) & 63] : '=';
        b64 += i + 2 < bytes.size() ? B64[v & 63] : '=';
    }
    return "'sha256-" + b64 + "'";
}

// The content of every <tag>...</tag> element of an HTML text.
std::vector<std::string> inline_blocks(const std::string &html, const std::string &tag) {
    std::vector<std::string> blocks;
    const std::string open = "<" + tag + ">", close = "</" + tag + ">";
    for (size_t at = html.find(open); at != std::string::npos; at = html.find(open, at + 1)) {
        size_t from = at + open.size();
        size_t to = html.find(close, from);
        if (to == std::string::npos) break;
        blocks.push_back(html.substr(from, to - from));
    }
    return blocks;
}

// The source list of one directive ("script-src a b" gives {a, b}).
std::set<std::string> directive_sources(const std::string &policy, const std::string &name) {
    std::set<std::string> sources;
    std::istringstream directives(policy);
    std::string directive;
    while (std::getline(directives, directive, ';')) {
        std::istringstream words(directive);
        std::string word;
        words >> word;
        if (word != name) continue;
        while (words >> word) sources.insert(word);
    }
    return sources;
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

    Served served = split_page_response(r.out);
    const std::string &body = served.body;
    EXPECT_EQ(body, want.page);

    // The frame, checked without the assembly above.
    // No Status: line among the header lines (the body may hold the word).
    size_t header_end = r.out.find("\r\n\r\n");
    ASSERT_NE(header_end, std::string::npos);
    EXPECT_EQ(r.out.substr(0, header_end + 2).find("Status:"), std::string::npos);
    EXPECT_EQ(occurrences(r.out.substr(0, header_end), "\r\n"), 5u) << "six header lines";
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

// Every request carries the whole page (no-store): the whole response,
// header and policy included, stays within its budget, which the build's
// lean pass and the trimmed QR encoder keep it in.
TEST(Page, ServedPageStaysWithinItsSizeBudget) {
    const size_t BUDGET = 72000;  // bytes of response
    World w;
    Result r = w.request("");
    Served served = split_page_response(r.out);
    ASSERT_FALSE(::testing::Test::HasFailure());
    EXPECT_LE(r.out.size(), BUDGET) << "the page response grew to " << r.out.size() << " bytes";
    printf("console page response: %zu bytes, %zu of them body (budget %zu)\n", r.out.size(), served.body.size(),
           BUDGET);
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
        EXPECT_EQ(split_page_response(r.out).body, want.page);
    }
}

TEST(Page, PolicyAllowsExactlyThePagesOwnInlineBlocks) {
    World w;
    Result r = w.request("");
    Served served = split_page_response(r.out);
    ASSERT_FALSE(::testing::Test::HasFailure());
    const std::string &policy = served.policy;

    for (const char *tag : {"script", "style"}) {
        SCOPED_TRACE(tag);
        std::set<std::string> want;
        for (const std::string &block : inline_blocks(served.body, tag)) want.insert(sha256_source(w, block));
        EXPECT_GE(want.size(), 2u) << "the page has inline blocks of each kind";
        EXPECT_EQ(directive_sources(policy, std::string(tag) + "-src"), want);
    }
    // Everything else is named once and fixed.
    struct Directive {
        const char *name;
        std::set<std::string> sources;
    } fixed[] = {
        {"default-src", {"'none'"}},
        {"connect-src", {"'self'"}},
        {"frame-ancestors", {"'self'"}},
        {"base-uri", {"'none'"}},
        {"form-action", {"'self'"}},
    };
    for (const auto &d : fixed) {
        SCOPED_TRACE(d.name);
        EXPECT_EQ(directive_sources(policy, d.name), d.sources);
    }
    EXPECT_EQ(policy.rfind("default-src 'none'", 0), 0u) << policy;
    std::istringstream directives(policy);
    std::string directive;
    size_t count = 0;
    while (std::getline(directives, directive, ';')) count++;
    EXPECT_EQ(count, 7u) << "no directive beyond these: " << policy;
    for (char c : policy) ASSERT_TRUE(c >= 0x20 && c <= 0x7e) << policy;
}

// A browser that opens the console of a node with a password, without it,
// gets a page it can show: 401, the page's own headers, unauthorized.html
// with the theme head block in its place, and a policy naming exactly its
// inline blocks.
TEST(RefusalPage, ServedBytesAndPolicy) {
    Pieces want = expected_pieces();
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    std::string page = slurp("unauthorized.html");
    replace_once(page, "<!--@theme-head@-->", want.theme_head);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());

    World w;
    w.env["BOT_PASSWORD"] = "s3cret";
    w.env["HTTP_ACCEPT"] = "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8";
    w.login_tool({});
    w.token_tool({});
    Result r = w.request("embed=1&theme=light");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    const std::string status = "Status: 401 Unauthorized\r\n";
    ASSERT_EQ(r.out.compare(0, status.size(), status), 0) << r.out.substr(0, 200);
    Served served = split_page_response(r.out.substr(status.size()));
    EXPECT_EQ(served.body, page);
    EXPECT_NE(served.body.find("password"), std::string::npos);
    EXPECT_EQ(served.body.find("invalid node password"), std::string::npos);
    for (const char *tag : {"script", "style"}) {
        SCOPED_TRACE(tag);
        std::set<std::string> blocks;
        for (const std::string &block : inline_blocks(served.body, tag)) blocks.insert(sha256_source(w, block));
        EXPECT_GE(blocks.size(), 1u);
        EXPECT_EQ(directive_sources(served.policy, std::string(tag) + "-src"), blocks);
    }
    EXPECT_EQ(directive_sources(served.policy, "default-src"), std::set<std::string>{"'none'"});
    EXPECT_EQ(directive_sources(served.policy, "frame-ancestors"), std::set<std::string>{"'self'"});
    EXPECT_TRUE(w.runs("login").empty());
    EXPECT_TRUE(w.runs("token").empty());
}

}  // namespace
