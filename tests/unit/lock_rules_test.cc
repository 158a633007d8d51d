// Where the node lock lives, on text: the marker's nearest existing
// directory, the key of a marker's resolved path (one per file, whatever
// the spelling), the lock's name (a SHA-256 of the key) and the POSIX lock
// folder.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/limits.h"
#include "platform/lock_rules.h"

namespace {

int in_set(const char *path, void *ctx) { return ((std::set<std::string> *)ctx)->count(path) != 0; }

TEST(NodeLockPlace, TheMarkersNearestExistingDirectory) {
    struct Case {
        const char *why, *marker;
        std::set<std::string> dirs;
        const char *found;  // "" when none
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
        EXPECT_EQ(lock_directory(c.marker, in_set, &dirs, out, sizeof out), c.found[0] ? 1 : 0);
        EXPECT_STREQ(out, c.found);
    }
}

TEST(NodeLockPlace, APathThatDoesNotFitFindsNothing) {
    std::set<std::string> dirs = {"/", "."};
    std::string marker = "/" + std::string(PATH_CAP, 'm');
    char out[PATH_CAP];
    EXPECT_EQ(lock_directory(marker.c_str(), in_set, &dirs, out, sizeof out), 0);
    EXPECT_STREQ(out, "");
    char tiny[1];
    EXPECT_EQ(lock_directory("m.json", in_set, &dirs, tiny, sizeof tiny), 0);
}

std::string posix_key(const char *marker, const char *dir, const char *resolved) {
    char out[PATH_CAP];
    EXPECT_EQ(lock_key_posix(marker, dir, resolved, out, sizeof out), 1) << marker;
    return out;
}

TEST(NodeLockKey, PosixOneKeyPerFileWhateverTheSpelling) {
    struct Case {
        const char *why, *marker, *dir, *resolved, *key;
    } cases[] = {
        {"plain", "/srv/node/p/m.json", "/srv/node/p", "/srv/node/p", "/srv/node/p/m.json"},
        {"doubled slashes", "/srv//node/p//m.json", "/srv//node/p", "/srv/node/p", "/srv/node/p/m.json"},
        {"a link to a directory", "/home/op/link/m.json", "/home/op/link", "/srv/node/p", "/srv/node/p/m.json"},
        {"relative to the working directory", "p/m.json", "p", "/srv/node/p", "/srv/node/p/m.json"},
        // The login tool makes the missing folders: the rest is read as text.
        {"folders not there yet", "/srv/node/p/q/./r/../m.json", "/srv/node", "/srv/node", "/srv/node/p/q/m.json"},
        {"a relative path, nothing there", "p/m.json", ".", "/srv/node", "/srv/node/p/m.json"},
        {"a dotted name is no \".\"", ".hidden/m.json", ".", "/srv", "/srv/.hidden/m.json"},
        {"\"..\" never climbs above the root", "/a/../../m.json", "/", "/", "/m.json"},
        {"under the root", "/m.json", "/", "/", "/m.json"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(posix_key(c.marker, c.dir, c.resolved), c.key);
    }
    char tiny[8];
    EXPECT_EQ(lock_key_posix("/srv/node/p/m.json", "/srv", "/srv", tiny, sizeof tiny), 0);
    EXPECT_STREQ(tiny, "");
}

TEST(NodeLockKey, WindowsVerbatimPrefixSetAsideAndCaseFolded) {
    struct Case {
        const char *why, *marker, *input;
    } cases[] = {
        {"plain", "C:\\Node\\m.json", "C:\\Node\\m.json"},
        {"\\\\?\\ with a drive", "\\\\?\\C:\\Node\\m.json", "C:\\Node\\m.json"},
        {"\\\\?\\UNC\\ for a share", "\\\\?\\UNC\\srv\\share\\m.json", "\\\\srv\\share\\m.json"},
        {"\\\\?\\unc\\ in lower case", "\\\\?\\unc\\srv\\share\\m.json", "\\\\srv\\share\\m.json"},
        {"forward slashes", "//?/C:/Node/m.json", "C:/Node/m.json"},
        {"a device path is left as it is", "\\\\.\\C:\\Node\\m.json", "\\\\.\\C:\\Node\\m.json"},
        {"a share", "\\\\srv\\share\\m.json", "\\\\srv\\share\\m.json"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        char out[PATH_CAP];
        EXPECT_EQ(lock_windows_input(c.marker, out, sizeof out), 1);
        EXPECT_STREQ(out, c.input);
    }
    char key[PATH_CAP], other[PATH_CAP];
    ASSERT_EQ(lock_key_windows("C:\\Users\\Op\\M.json", key, sizeof key), 1);
    EXPECT_STREQ(key, "c:\\users\\op\\m.json");
    ASSERT_EQ(lock_key_windows("c:/USERS/op/m.JSON", other, sizeof other), 1);
    EXPECT_STREQ(other, key);
    char tiny[4];
    EXPECT_EQ(lock_key_windows("C:\\x", tiny, sizeof tiny), 0);
    EXPECT_EQ(lock_windows_input("C:\\x", tiny, sizeof tiny), 0);
    EXPECT_STREQ(tiny, "");
}

std::string name_of(const std::string &key) {
    char out[LOCK_NAME_CAP];
    EXPECT_EQ(lock_name(key.c_str(), out, sizeof out), 1);
    return out;
}

TEST(NodeLockKey, NameIsTheKeysSha256) {
    // Known SHA-256 values: empty, one block, and a message whose padding
    // takes a second block.
    EXPECT_EQ(name_of(""), "lumivane-node-e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(name_of("abc"), "lumivane-node-ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(name_of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "lumivane-node-248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    // Keys longer than a block, one byte apart, differ.
    std::string long_key = "/srv/" + std::string(200, 'n') + "/m.json";
    EXPECT_NE(name_of(long_key), name_of(long_key + "x"));
    // "Local\" and the name fit the cap; a smaller one takes nothing.
    EXPECT_LE(std::string("Local\\").size() + name_of("abc").size() + 1, LOCK_NAME_CAP);
    char small[20];
    EXPECT_EQ(lock_name("x", small, sizeof small), 0);
    EXPECT_STREQ(small, "");
}

TEST(NodeLockKey, PosixLockFolderCandidates) {
    struct Case {
        const char *why, *home, *tmpdir;
        std::vector<std::string> folders;
    } cases[] = {
        {"home, then /tmp", "/home/op", nullptr,
         {"/home/op/.plugin_lumivane_login", "/tmp/plugin_lumivane_login-1000"}},
        {"trailing slashes", "/home/op/", "/var/tmp/",
         {"/home/op/.plugin_lumivane_login", "/var/tmp/plugin_lumivane_login-1000"}},
        {"the root as home", "/", nullptr, {"/.plugin_lumivane_login", "/tmp/plugin_lumivane_login-1000"}},
        {"no home: /tmp alone", nullptr, nullptr, {"/tmp/plugin_lumivane_login-1000"}},
        {"a relative home or TMPDIR is not used", "home", "tmp", {"/tmp/plugin_lumivane_login-1000"}},
        {"an empty home", "", "/run/t", {"/run/t/plugin_lumivane_login-1000"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<std::string> got;
        char out[PATH_CAP];
        for (int i = 0; lock_folder(i, c.home, c.tmpdir, 1000, out, sizeof out); i++) got.push_back(out);
        EXPECT_EQ(got, c.folders);
        EXPECT_STREQ(out, "");
    }
}

}  // namespace
