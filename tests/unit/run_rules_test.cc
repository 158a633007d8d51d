// The pure rule of a tool run (tools/run_rules.cc): the request's time
// read from the text of LUMIVANE_TOOL_TIMEOUT.
#include <gtest/gtest.h>

#include "base/limits.h"
#include "tools/runner.h"

namespace {

TEST(ToolTimeout, WholeSecondsElseTheDefault) {
    struct Case {
        const char *value;
        long long seconds;
    } cases[] = {
        {nullptr, DEFAULT_TOOL_TIMEOUT_SEC},
        {"", DEFAULT_TOOL_TIMEOUT_SEC},
        {"0", DEFAULT_TOOL_TIMEOUT_SEC},
        {"000", DEFAULT_TOOL_TIMEOUT_SEC},
        {"1", 1},
        {"90", 90},
        {"007", 7},
        {"999999999", 999999999},
        {"1000000000", DEFAULT_TOOL_TIMEOUT_SEC},  // ten digits: unusable
        {"-5", DEFAULT_TOOL_TIMEOUT_SEC},
        {"+5", DEFAULT_TOOL_TIMEOUT_SEC},
        {" 5", DEFAULT_TOOL_TIMEOUT_SEC},
        {"5s", DEFAULT_TOOL_TIMEOUT_SEC},
        {"1.5", DEFAULT_TOOL_TIMEOUT_SEC},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(unset)");
        EXPECT_EQ(tool_timeout_seconds(c.value), c.seconds);
    }
}

}  // namespace
