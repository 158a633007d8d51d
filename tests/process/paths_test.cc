// Reading a sign-in file whole from the real file system, and the path
// rules on the process's own environment.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "base/limits.h"
#include "state/paths.h"

namespace {

// process_path_env reads the variables as they are at the call, and
// composes with the platform's separator.
TEST(Paths, ProcessEnvironmentIsReadAtEachCall) {
    const char *const vars[] = {"USERPROFILE", "HOMEDRIVE", "HOMEPATH", "LUMIVANE_CREDS_PATH"};
    for (const char *v : vars) unsetenv(v);
    char creds[PATH_CAP];
    setenv("HOME", "/first", 1);
    ASSERT_TRUE(creds_path(process_path_env(), creds));
    EXPECT_STREQ(creds, "/first/.config/lumivane/auth.json");
    setenv("LUMIVANE_CREDS_PATH", "/set/auth.json", 1);
    ASSERT_TRUE(creds_path(process_path_env(), creds));
    EXPECT_STREQ(creds, "/set/auth.json");
    unsetenv("LUMIVANE_CREDS_PATH");
    unsetenv("HOME");
    ASSERT_TRUE(creds_path(process_path_env(), creds));
    EXPECT_STREQ(creds, "auth.json");
}

TEST(ReadFile, WholeFilesUpToTheCap) {
    char tmpl[] = "/tmp/lumivane-read-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string dir = tmpl;
    auto write = [&](const std::string &name, const std::string &content) {
        FILE *f = fopen((dir + "/" + name).c_str(), "wb");
        fwrite(content.data(), 1, content.size(), f);
        fclose(f);
        return dir + "/" + name;
    };
    EXPECT_EQ(read_file(""), nullptr);
    EXPECT_EQ(read_file((dir + "/missing").c_str()), nullptr);
    EXPECT_EQ(read_file(dir.c_str()), nullptr);  // a directory
    char *empty = read_file(write("empty", "").c_str());
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
    free(empty);
    std::string crlf = "{\r\n\"a\":1}\r\n";
    char *text = read_file(write("crlf", crlf).c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), crlf);  // no line-end translation
    free(text);
    std::string cap(FILE_MAX_BYTES, 'x');
    char *full = read_file(write("cap", cap).c_str());
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(strlen(full), FILE_MAX_BYTES);
    free(full);
    EXPECT_EQ(read_file(write("over", cap + "y").c_str()), nullptr);
    for (const char *n : {"empty", "crlf", "cap", "over"}) remove((dir + "/" + n).c_str());
    rmdir(dir.c_str());
}

}  // namespace
