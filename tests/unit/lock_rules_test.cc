// Where the node lock lives, on text: the directory that POSIX locks (the
// marker's own, else its nearest existing parent) and the Windows mutex
// name (one per file, whatever the spelling).
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/limits.h"
#include "platform/lock_rules.h"

namespace {

int in_set(const char *path, void *ctx) { return ((std::set<std::string> *)ctx)->count(path) != 0; }

TEST(NodeLockPlace, TheMarkersDirectoryOrItsNearestExistingParent) {
    struct Case {
        const char *why, *marker;
        std::set<std::string> dirs;
        const char *locked;  // "" when none
    } cases[] = {
        {"the marker's directory", "/home/op/.zodizi/.login-pending/lumivane-default.json",
         {"/", "/home", "/home/op", "/home/op/.zodizi", "/home/op/.zodizi/.login-pending"},
         "/home/op/.zodizi/.login-pending"},
        // The login tool makes the directories on its first start.
        {"its directory not there yet", "/home/op/.zodizi/.login-pending/lumivane-default.json",
         {"/", "/home", "/home/op"}, "/home/op"},
        {"a marker at the root", "/marker.json", {"/"}, "/"},
        {"nothing but the root", "/a/b/c/marker.json", {"/"}, "/"},
        {"a bare name: the working directory", "lumivane-default.json", {"."}, "."},
        {"a relative path", "data/pending/m.json", {".", "data"}, "data"},
        {"a relative path, nothing there", "data/pending/m.json", {"."}, "."},
        {"doubled separators", "/srv//node/m.json", {"/", "/srv/"}, "/srv/"},
        {"no directory at all", "/a/m.json", {}, ""},
        {"a relative path without the working directory", "m.json", {}, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        std::set<std::string> dirs = c.dirs;
        char out[PATH_CAP];
        EXPECT_EQ(lock_directory(c.marker, in_set, &dirs, out, sizeof out), c.locked[0] ? 1 : 0);
        EXPECT_STREQ(out, c.locked);
    }
}

TEST(NodeLockPlace, APathThatDoesNotFitLocksNothing) {
    std::set<std::string> dirs = {"/", "."};
    std::string marker = "/" + std::string(PATH_CAP, 'm');
    char out[PATH_CAP];
    EXPECT_EQ(lock_directory(marker.c_str(), in_set, &dirs, out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    char tiny[1];
    EXPECT_EQ(lock_directory("m.json", in_set, &dirs, tiny, sizeof tiny), 0);
}

std::string mutex_name(const std::string &marker) {
    char out[64];
    EXPECT_EQ(lock_mutex_name(marker.c_str(), out, sizeof out), 1);
    return out;
}

TEST(NodeLockPlace, MutexNameOnePerFile) {
    const std::string name = mutex_name("C:\\Users\\Op\\.zodizi\\.login-pending\\lumivane-default.json");
    // "Local\" and 16 hexadecimal digits: no further '\' for the object namespace.
    ASSERT_EQ(name.size(), std::string("Local\\lumivane-node-").size() + 16);
    EXPECT_EQ(name.rfind("Local\\lumivane-node-", 0), 0u);
    EXPECT_EQ(name.find_first_not_of("0123456789abcdef", name.size() - 16), std::string::npos);
    // Every spelling Windows reads as the same file.
    EXPECT_EQ(mutex_name("c:\\users\\op\\.ZODIZI\\.login-pending\\LUMIVANE-DEFAULT.JSON"), name);
    EXPECT_EQ(mutex_name("C:/Users/Op/.zodizi/.login-pending/lumivane-default.json"), name);
    // Other files, other names.
    EXPECT_NE(mutex_name("C:\\Users\\Op2\\.zodizi\\.login-pending\\lumivane-default.json"), name);
    EXPECT_NE(mutex_name("C:\\Users\\Op\\.zodizi\\.login-pending\\lumivane-default.jso"), name);
    EXPECT_NE(mutex_name(""), name);
    // A name that does not fit is none.
    char small[20];
    EXPECT_EQ(lock_mutex_name("x", small, sizeof small), 0);
    EXPECT_STREQ(small, "");
}

}  // namespace
