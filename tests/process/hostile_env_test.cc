// Request values of 1 MiB. Linux refuses to start a program with any one
// environment string over 128 KiB, so the end-to-end harness cannot pass
// them; here the whole program (plugin_main over the real platform) runs in
// a forked child whose environment is set directly, and its standard output
// is read back through a pipe.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>

#include "cgi/emit.h"
#include "app/entry.h"

namespace {

struct Outcome {
    std::string out;
    int exit_code = -1;
};

// Runs one request in a child with exactly `env` as its environment.
Outcome run_request(const std::map<std::string, std::string> &env) {
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe";
        return Outcome{};
    }
    fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        clearenv();
        for (const auto &kv : env) setenv(kv.first.c_str(), kv.second.c_str(), 1);
        char name[] = "plugin_lumivane_login";
        char *argv[] = {name, nullptr};
        int rc = plugin_main(1, argv);
        fflush(stdout);
        _exit(rc);
    }
    close(fds[1]);
    Outcome r;
    char chunk[65536];
    ssize_t n;
    while ((n = read(fds[0], chunk, sizeof chunk)) > 0) r.out.append(chunk, (size_t)n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

const std::string UNKNOWN_ACTION =
    std::string("Status: 400 Bad Request\r\n") + JSON_HEADER +
    "{\"ok\":false,\"error\":\"unknown_action\",\"detail\":\"expected status, start, poll, cancel or "
    "refresh\"}\n";
const std::string PAGE_START = "Content-Type: text/html";

TEST(HugeRequestValues, OneMebibyteQueriesHeadersAndPasswords) {
    const size_t MIB = 1 << 20;
    const std::string big_pw(MIB, 'p');
    std::string wrong_pw = big_pw;
    wrong_pw.back() = 'q';
    std::string every_byte;
    while (every_byte.size() < MIB)
        for (int b = 1; b < 256; b++) every_byte += (char)b;

    struct Case {
        const char *why;
        std::map<std::string, std::string> env;
        const std::string *exact;  // the whole response, or null to check its start
        const char *starts;
        int exit_code;
    } cases[] = {
        {"1 MiB action value", {{"QUERY_STRING", "action=" + std::string(MIB, 'a')}}, &UNKNOWN_ACTION, "", 1},
        {"100,000 ampersands before the action", {{"QUERY_STRING", std::string(100000, '&') + "action=zzz"}},
         &UNKNOWN_ACTION, "", 1},
        {"1 MiB of bytes 0x01-0xFF: neither parameter, so the page", {{"QUERY_STRING", every_byte}}, nullptr,
         PAGE_START.c_str(), 0},
        {"1 MiB password in the header", {{"BOT_PASSWORD", big_pw}, {"HTTP_X_BOT_PASSWORD", big_pw}}, nullptr,
         PAGE_START.c_str(), 0},
        {"1 MiB password as a bearer token",
         {{"BOT_PASSWORD", big_pw}, {"HTTP_AUTHORIZATION", "Bearer " + big_pw}}, nullptr, PAGE_START.c_str(), 0},
        {"1 MiB values that differ in the last byte, in all three ways",
         {{"BOT_PASSWORD", big_pw},
          {"HTTP_X_BOT_PASSWORD", wrong_pw},
          {"HTTP_AUTHORIZATION", "Bearer " + wrong_pw},
          {"QUERY_STRING", "pwd=" + wrong_pw}},
         nullptr, "Status: 401 Unauthorized\r\n", 0},
        {"1 MiB of bytes 0x01-0xFF in every header",
         {{"BOT_PASSWORD", "node"}, {"HTTP_X_BOT_PASSWORD", every_byte}, {"HTTP_AUTHORIZATION", every_byte},
          {"QUERY_STRING", every_byte}},
         nullptr, "Status: 401 Unauthorized\r\n", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        Outcome r = run_request(c.env);
        EXPECT_EQ(r.exit_code, c.exit_code);
        if (c.exact) {
            EXPECT_EQ(r.out, *c.exact);
        } else {
            EXPECT_EQ(r.out.compare(0, strlen(c.starts), c.starts), 0) << r.out.substr(0, 200);
        }
    }
}

}  // namespace
