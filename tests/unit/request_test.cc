// Query readers, the routing decision and the password check as pure
// functions of their inputs.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "cgi/auth.h"
#include "app/route.h"
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

TEST(PasswordPasses, AuthorizationWithOrWithoutTheSchemeWord) {
    struct Case {
        const char *password, *authorization;
        int passes;
    } cases[] = {
        {"pw", "Bearer pw", 1},
        {"pw", "bEaReR    pw", 1},
        {"pw", "   Bearer pw", 1},
        {"pw", "pw", 1},                 // the scheme word is optional
        {"pw", "   pw", 1},              // leading spaces are skipped without it too
        {"pw", "\tpw", 0},               // a tab is no space
        {"pw", "pw ", 0},                // nothing is trimmed after the password
        {"pw", "Bearer\tpw", 0},
        {"pw", "Beare", 0},
        {"pw", "Bearer ", 0},
        {"pw", "Basic pw", 0},
        {"Bearer x", "Bearer x", 0},     // a scheme word at the start is always taken as one
        {"Bearer x", "Bearer Bearer x", 1},
        {"Bearerx", "Bearerx", 1},       // no space: no scheme word
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.authorization);
        EXPECT_EQ(password_passes(c.password, nullptr, c.authorization, nullptr), c.passes);
    }
}

}  // namespace
