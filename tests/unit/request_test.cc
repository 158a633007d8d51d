// Query readers, the routing decision and the password check as pure
// functions of their inputs.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "cgi/auth.h"
#include "app/route.h"
#include "cgi/cross_site.h"
#include "cgi/query.h"

namespace {

TEST(QueryHas, NameFollowedByEqualsAmpersandOrEnd) {
    struct Case {
        const char *query, *name;
        int has;
    } cases[] = {
        {"action", "action", 1},
        {"action=", "action", 1},
        {"x=1&action=poll", "action", 1},
        {"actions=x", "action", 0},
        {"xaction=1", "action", 0},
        {"a=action", "action", 0},     // values are not names
        {"&&force", "force", 1},
        {"force0=1", "force", 0},
        {"", "force", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(query_has(c.query, c.name), c.has);
    }
    EXPECT_EQ(query_has(nullptr, "action"), 0);
}

TEST(GetQueryVal, FirstSegmentWithEqualsDecides) {
    struct Case {
        const char *query;
        size_t cap;
        int found;
        std::string value;
    } cases[] = {
        {"action=start", 64, 1, "start"},
        {"action=", 64, 1, ""},
        {"action", 64, 0, ""},                     // a bare name is no match
        {"action&action=poll", 64, 1, "poll"},
        {"action=a=b&c", 64, 1, "a=b"},            // a value may hold '='
        {"action=first&action=second", 64, 1, "first"},
        {"pwd=abcdef", 4, 1, "abc"},               // cut at cap - 1
        {"pwd=a+b%20c", 64, 1, "a+b%20c"},         // bytes as they are
        {"x=1", 64, 0, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query);
        char out[64];
        strcpy(out, "garbage");
        const char *name = strncmp(c.query, "pwd", 3) == 0 ? "pwd" : "action";
        EXPECT_EQ(get_query_val(c.query, name, out, c.cap), c.found);
        EXPECT_EQ(std::string(out), c.value);
    }
    char out[8] = "garbage";
    EXPECT_EQ(get_query_val(nullptr, "action", out, sizeof out), 0);
    EXPECT_STREQ(out, "");
}

TEST(RouteRequest, Table) {
    struct Case {
        const char *query;
        Route route;
    } cases[] = {
        {nullptr, ROUTE_PAGE},
        {"", ROUTE_PAGE},
        {"pwd=x&other=1", ROUTE_PAGE},          // neither action nor format
        {"format=html", ROUTE_STATUS},          // format alone asks for the document
        {"action", ROUTE_STATUS},               // an empty action is status
        {"action=", ROUTE_STATUS},
        {"action=status", ROUTE_STATUS},
        {"action=start&force", ROUTE_START},
        {"action=poll", ROUTE_POLL},
        {"action=cancel", ROUTE_CANCEL},
        {"action=refresh", ROUTE_REFRESH},
        {"action=Start", ROUTE_UNKNOWN},        // names are case-sensitive
        {"action=poll&action=start", ROUTE_POLL},  // the first segment decides
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query ? c.query : "(null)");
        EXPECT_EQ(route_request(c.query), c.route);
    }
}

TEST(PasswordPasses, NullInputsAndExactComparison) {
    EXPECT_EQ(password_passes(nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(password_passes("", nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(password_passes("pw", nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(password_passes("pw", "pw", nullptr, nullptr), 1);
    EXPECT_EQ(password_passes("pw", "pw\n", nullptr, nullptr), 0);  // nothing is trimmed
    EXPECT_EQ(password_passes("pw", nullptr, nullptr, "pwd=pw"), 1);
    EXPECT_EQ(password_passes("pw", "", "", "pwd="), 0);
}

TEST(QueryValueSpan, TheWholeValueOfTheFirstSegment) {
    const std::string long_value(100000, 'v');
    struct Case {
        std::string query;
        bool found;
        std::string value;
    } cases[] = {
        {"pwd=abc&x=1", true, "abc"},
        {"pwd=", true, ""},
        {"pwd", false, ""},
        {"x=1&pwd=a=b%26c", true, "a=b%26c"},   // bytes as they are
        {"pwd=first&pwd=second", true, "first"},
        {"pwd=" + long_value, true, long_value}, // never cut
        {"pwdx=1", false, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query.substr(0, 40));
        size_t len = 7;
        const char *v = query_value_span(c.query.c_str(), "pwd", &len);
        EXPECT_EQ(v != nullptr, c.found);
        EXPECT_EQ(v ? std::string(v, len) : std::string(), c.value);
        if (!v) EXPECT_EQ(len, 0u);
    }
    size_t len = 7;
    EXPECT_EQ(query_value_span(nullptr, "pwd", &len), nullptr);
    EXPECT_EQ(len, 0u);
}

// Each way of presenting the password, in one table: the X-Bot-Password
// header and the pwd value follow one rule (as given or percent-decoded),
// so a row that holds for both is tried in both; Authorization takes the
// password as given, after an optional scheme word.
enum Way { HEADER = 1, AUTHORIZATION = 2, PWD = 4 };

TEST(PasswordPasses, EachWayOfPresentingIt) {
    struct Case {
        const char *password;
        int ways;           // the ways the value is presented in, one at a time
        const char *value;  // for PWD: the query after "pwd="
        int passes;
    } cases[] = {
        {"a b", HEADER | PWD, "a%20b", 1},
        {"a b", HEADER | PWD, "a b", 1},            // as given
        {"a b", HEADER | PWD, "a+b", 0},            // '+' is no space
        {"a+b", HEADER | PWD, "a+b", 1},
        {"a+b", HEADER | PWD, "a%2bb", 1},
        {"\xe2\x82\xac", HEADER | PWD, "%E2%82%AC", 1},
        {"\xe2\x82\xac", HEADER | PWD, "%E2%82%A", 0},  // a cut escape stands for itself
        {"%E", HEADER | PWD, "%E", 1},
        {"%", HEADER | PWD, "%25", 1},
        {"%25", HEADER | PWD, "%25", 1},             // as given
        {"%", HEADER | PWD, "%2", 0},
        {"ab", HEADER | PWD, "%61b%", 0},            // one byte too many after decoding
        {"ab", HEADER | PWD, "%61", 0},              // one byte short
        {"a", PWD, "%61&pwd=b", 1},
        {"b", PWD, "%61&pwd=b", 0},                  // the first pwd= decides
        {"pw", AUTHORIZATION, "Bearer pw", 1},
        {"pw", AUTHORIZATION, "bEaReR    pw", 1},
        {"pw", AUTHORIZATION, "   Bearer pw", 1},
        {"pw", AUTHORIZATION, "pw", 1},              // the scheme word is optional
        {"pw", AUTHORIZATION, "   pw", 1},           // leading spaces are skipped without it too
        {"pw", AUTHORIZATION, "\tpw", 0},            // a tab is no space
        {"pw", AUTHORIZATION, "pw ", 0},             // nothing is trimmed after the password
        {"pw", AUTHORIZATION, "Bearer\tpw", 0},
        {"pw", AUTHORIZATION, "Beare", 0},
        {"pw", AUTHORIZATION, "Bearer ", 0},
        {"pw", AUTHORIZATION, "Basic pw", 0},
        {"Bearer x", AUTHORIZATION, "Bearer x", 0},  // a scheme word at the start is always taken as one
        {"Bearer x", AUTHORIZATION, "Bearer Bearer x", 1},
        {"Bearerx", AUTHORIZATION, "Bearerx", 1},    // no space: no scheme word
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        const std::string query = std::string("pwd=") + c.value;
        if (c.ways & HEADER) {
            SCOPED_TRACE("in the header");
            EXPECT_EQ(password_passes(c.password, c.value, nullptr, nullptr), c.passes);
        }
        if (c.ways & AUTHORIZATION) {
            SCOPED_TRACE("in Authorization");
            EXPECT_EQ(password_passes(c.password, nullptr, c.value, nullptr), c.passes);
        }
        if (c.ways & PWD) {
            SCOPED_TRACE("in the query");
            EXPECT_EQ(password_passes(c.password, nullptr, nullptr, query.c_str()), c.passes);
        }
    }
}

TEST(RefusalIsPage, ABrowsersPageRequestOnly) {
    struct Case {
        const char *why;
        const char *query;
        const char *accept;  // null: no Accept header
        int page;
    } cases[] = {
        {"a browser's navigation", "", "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8", 1},
        {"media types have no case", "theme=dark&embed=1", "TEXT/HTML", 1},
        {"text/html anywhere in the list", "", "application/json, text/html;q=0.1", 1},
        {"no Accept: a tool or a test", "", nullptr, 0},
        {"anything at all is no page", "", "*/*", 0},
        {"JSON asked for", "", "application/json", 0},
        {"an action keeps the JSON refusal", "action=status", "text/html", 0},
        {"format alone is the status document", "format=json", "text/html", 0},
        {"an unknown action too", "action=nope", "text/html", 0},
        {"shorter than the type", "", "text/htm", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(refusal_is_page(route_request(c.query), c.accept), c.page);
    }
}

TEST(CrossSite, FetchMetadataFirstThenOriginAgainstHost) {
    struct Case {
        const char *why;
        const char *sec_fetch_site, *origin, *host;  // null: header absent
        int refused;
    } cases[] = {
        {"no header at all: a tool or curl", nullptr, nullptr, nullptr, 0},
        {"same-origin", "same-origin", nullptr, "node:8080", 0},
        {"typed or bookmarked", "none", nullptr, nullptr, 0},
        {"cross-site", "cross-site", nullptr, "node:8080", 1},
        {"same-site is another origin", "same-site", nullptr, "node:8080", 1},
        {"empty value", "", nullptr, "node:8080", 1},
        {"values are exact", "Same-Origin", nullptr, "node:8080", 1},
        {"metadata wins over a matching origin", "cross-site", "http://node:8080", "node:8080", 1},
        {"metadata wins over a foreign origin", "same-origin", "http://evil.test", "node:8080", 0},
        {"origin equals host", nullptr, "http://node:8080", "node:8080", 0},
        {"host names differ in case only", nullptr, "http://NODE:8080", "node:8080", 0},
        {"other host", nullptr, "http://evil.test:8080", "node:8080", 1},
        {"other port", nullptr, "http://node:8081", "node:8080", 1},
        {"http default port on the origin", nullptr, "http://node", "node:80", 0},
        {"http default port on the host", nullptr, "http://node:80", "node", 0},
        {"https default port", nullptr, "https://node", "node:443", 0},
        {"https is not port 80", nullptr, "https://node", "node:80", 1},
        {"both without a port", nullptr, "https://node", "node", 0},
        {"empty port is the default", nullptr, "http://node:", "node", 0},
        {"IPv6 literal", nullptr, "http://[::1]:8080", "[::1]:8080", 0},
        {"IPv6 literal, other port", nullptr, "http://[::1]:8080", "[::1]:9090", 1},
        {"a host that only begins like the origin's", nullptr, "http://node", "node.evil.test", 1},
        {"an origin that only begins like the host", nullptr, "http://node.evil.test", "node", 1},
        {"opaque origin", nullptr, "null", "node", 1},
        {"origin without a scheme", nullptr, "node:8080", "node:8080", 1},
        {"unknown scheme needs a port", nullptr, "chrome-extension://node", "node", 1},
        {"origin with a path", nullptr, "http://node/x", "node", 1},
        {"origin with user information", nullptr, "http://evil@node", "node", 1},
        {"port not a number", nullptr, "http://node:80x", "node:80x", 1},
        {"port out of range", nullptr, "http://node:65536", "node:65536", 1},
        {"leading zeros name the same port", nullptr, "http://node:08080", "node:8080", 0},
        {"origin but no Host header", nullptr, "http://node", nullptr, 1},
        {"origin but an empty Host header", nullptr, "http://node", "", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(cross_site_refused(c.sec_fetch_site, c.origin, c.host), c.refused);
    }
}

TEST(HostRule, AddressesLocalhostAndListedNamesOnly) {
    struct Case {
        const char *why;
        const char *host;     // null: no Host header
        const char *allowed;  // null: the variable is unset
        int allowed_result;
    } cases[] = {
        {"no Host header: a tool or a test", nullptr, nullptr, 1},
        {"IPv4", "127.0.0.1", nullptr, 1},
        {"IPv4 with a port", "10.0.0.7:8080", nullptr, 1},
        {"IPv4 ending in a dot", "127.0.0.1.", nullptr, 1},
        {"IPv4 with a part over 255 is a name", "127.0.0.256", nullptr, 0},
        {"three parts are a name", "127.0.1", nullptr, 0},
        {"leading zeros are not how a browser writes it", "127.000.0.1", nullptr, 0},
        {"hex is not a dotted quad", "0x7f.0.0.1", nullptr, 0},
        {"IPv6 loopback", "[::1]", nullptr, 1},
        {"IPv6 with a port", "[::1]:8080", nullptr, 1},
        {"IPv6 in full", "[2001:db8:0:0:0:0:0:1]", nullptr, 1},
        {"IPv6 with an IPv4 tail", "[::ffff:127.0.0.1]:80", nullptr, 1},
        {"IPv6 with a trailing elision", "[fe80::]", nullptr, 1},
        {"IPv6 without brackets", "::1", nullptr, 0},
        {"two elisions", "[1::2::3]", nullptr, 0},
        {"nine groups", "[1:2:3:4:5:6:7:8:9]", nullptr, 0},
        {"seven groups without an elision", "[1:2:3:4:5:6:7]", nullptr, 0},
        {"a group of five digits", "[12345::1]", nullptr, 0},
        {"a zone", "[fe80::1%25eth0]", nullptr, 0},
        {"a name in brackets", "[evil.test]", nullptr, 0},
        {"empty brackets", "[]", nullptr, 0},
        {"a lone leading colon", "[:1::2]", nullptr, 0},
        {"a lone trailing colon", "[1::2:]", nullptr, 0},
        {"localhost", "localhost", nullptr, 1},
        {"localhost with a port, any case", "LocalHost:18932", nullptr, 1},
        {"localhost ending in a dot", "localhost.", nullptr, 1},
        {"a name under localhost is not localhost", "evil.localhost", nullptr, 0},
        {"a name that begins like localhost", "localhost.evil.test", nullptr, 0},
        {"an unlisted name", "evil.test:18932", nullptr, 0},
        {"an empty list", "evil.test", "", 0},
        {"listed", "node.example", "node.example", 1},
        {"listed, any case", "NODE.example:8080", "node.EXAMPLE", 1},
        {"the port on an entry is ignored", "node.example:8080", "node.example:9090", 1},
        {"spaces and tabs around entries", "node.example", " other ,\tnode.example\t, third", 1},
        {"empty entries are skipped", "node.example", ",,node.example,", 1},
        {"a trailing dot on the Host", "node.example.", "node.example", 1},
        {"a trailing dot on the entry", "node.example", "node.example.", 1},
        {"two trailing dots name nothing", "node.example..", "node.example", 0},
        {"an entry that is longer", "node", "node.example", 0},
        {"an entry that is shorter", "node.example", "node", 0},
        {"a suffix is not a wildcard", "evil.node.example", "node.example", 0},
        {"an entry with a scheme names nothing", "node", "http://node", 0},
        {"an entry with a space inside names nothing", "node", "no de", 0},
        {"a bare comma", "node", ",", 0},
        {"a listed bracketed entry", "[::1]:80", "[::1]", 1},
        {"an empty Host header", "", "node", 0},
        {"a port alone", ":8080", nullptr, 0},
        {"a space inside the Host", "node example", "node example", 0},
        {"user information", "evil@node", "node", 0},
        {"a path", "node/x", "node", 0},
        {"a port that is not a number", "node:80x", "node", 0},
        {"an empty label", "node..example", "node..example", 0},
        {"a byte no name holds", "no*de", "no*de", 0},
        {"a name that is one dot", ".", ".", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(host_allowed(c.host, c.allowed), c.allowed_result);
    }
}

TEST(HostRule, ShownLengthCutsBetweenCharacters) {
    struct Case {
        const char *why;
        const char *host;
        size_t cap, len;
    } cases[] = {
        {"fits", "node", 10, 4},
        {"cut at the cap", "abcdef", 3, 3},
        {"a two-byte character across the cap is left out", "ab\xc3\xa9", 3, 2},
        {"a two-byte character that fits", "ab\xc3\xa9", 4, 4},
        {"an ill-formed byte is one unit", "a\xff" "b", 2, 2},
        {"empty", "", 5, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(host_shown_len(c.host, c.cap), c.len);
    }
}

}  // namespace
