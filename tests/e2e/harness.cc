#include "harness.h"

#include "target.h"

#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>

namespace e2e {

std::string World::native_dir() const {
    std::string d = native("");
    d.pop_back();
    return d;
}

const char JSON_HEADER[] =
    "Content-Type: application/json; charset=utf-8\r\n"
    "Cache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "\r\n";

void expect_no_secret(const Result &r) {
    EXPECT_EQ(r.out.find(PLANTED_PREFIX), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
}

bool runs_here(Only only) { return only == ANY_TARGET || (only == WINDOWS_ONLY) == WINDOWS_TARGET; }

std::string sh_quote(const std::string &s) {
    std::string q = "'";
    for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

static void make_parents(const std::string &file) {
    for (size_t i = 1; i < file.size(); i++) {
        if (file[i] == '/') mkdir(file.substr(0, i).c_str(), 0755);
    }
}

// Every run of the current test, kept so that a failing comparison can show
// what the plugin answered and what its tools were asked, whichever test
// failed and however it compared: the listener below prints them at the
// first failure of a test, once.
namespace {
struct Recorded {
    std::string dir;
    std::vector<std::string> args;
    std::string query;
    Result result;
};
std::mutex recorded_lock;
std::vector<Recorded> recorded;
bool dumped = false;

void print_logs(const std::string &dir) {
    std::string logs = dir + "/logs";
    DIR *d = opendir(logs.c_str());
    if (!d) {
        printf("  (no tool log in %s)\n", logs.c_str());
        return;
    }
    std::vector<std::string> names;
    while (struct dirent *e = readdir(d)) {
        if (e->d_name[0] != '.') names.push_back(e->d_name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const auto &n : names) {
        std::ifstream f(logs + "/" + n, std::ios::binary);
        std::stringstream text;
        text << f.rdbuf();
        printf("  --- tool log %s:\n%s\n", n.c_str(), text.str().c_str());
    }
}

class DumpOnFailure : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo &) override {
        std::lock_guard<std::mutex> hold(recorded_lock);
        recorded.clear();
        dumped = false;
    }
    void OnTestPartResult(const testing::TestPartResult &part) override {
        if (!part.failed()) return;
        std::lock_guard<std::mutex> hold(recorded_lock);
        if (dumped) return;
        dumped = true;
        printf("=== the plugin's runs in this test, in order (%zu):\n", recorded.size());
        std::vector<std::string> dirs;
        for (const auto &rec : recorded) {
            std::string how;
            for (const auto &a : rec.args) how += " " + a;
            std::string ended = rec.result.signal ? "killed by signal " + std::to_string(rec.result.signal)
                                                  : "exit " + std::to_string(rec.result.exit_code);
            printf("--- run%s (QUERY_STRING=%s) in %s: %s\n%s\n--- its standard error:\n%s\n",
                   how.c_str(), rec.query.c_str(), rec.dir.c_str(), ended.c_str(),
                   rec.result.out.c_str(), rec.result.err.c_str());
            if (std::find(dirs.begin(), dirs.end(), rec.dir) == dirs.end()) dirs.push_back(rec.dir);
        }
        for (const auto &dir : dirs) print_logs(dir);
        fflush(stdout);
    }
};

const bool listener_added = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new DumpOnFailure);
    return true;
}();
}  // namespace

World::World() {
    char tmpl[] = "/tmp/lumivane-e2e-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    dir = tmpl;
    target_base_env(env);
}

static int remove_entry(const char *p, const struct stat *, int, struct FTW *) {
    chmod(p, 0700);
    return remove(p);
}

World::~World() { nftw(dir.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS); }

std::string World::path(const std::string &rel) const {
    return (!rel.empty() && rel[0] == '/') ? rel : dir + "/" + rel;
}

void World::write(const std::string &rel, const std::string &content) const {
    std::string p = path(rel);
    make_parents(p);
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f << content;
    if (!f) throw std::runtime_error("cannot write " + p);
}

bool World::exists(const std::string &rel) const {
    struct stat st;
    return lstat(path(rel).c_str(), &st) == 0;
}

std::string World::read(const std::string &rel) const {
    std::ifstream f(path(rel), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string World::tool(const std::string &name, const std::map<std::string, Reply> &replies,
                        const Reply &other) {
    make_parents(path("logs/x"));
    make_parents(path(bin_dir + "/x"));
    return target_tool(*this, name, replies, other);
}

std::string World::native(const std::string &rel) const { return target_path(path(rel)); }

void World::login_tool(const std::map<std::string, Reply> &replies, const Reply &other) {
    env["LUMIVANE_LOGIN_BIN"] = tool("login", replies, other);
}

void World::token_tool(const std::map<std::string, Reply> &replies, const Reply &other) {
    env["LUMIVANE_TOKEN_BIN"] = tool("token", replies, other);
}

std::string World::script(const std::string &rel, const std::string &body) const {
    std::string p = path(rel);
    write(p, "#!/bin/sh\n" + body);
    chmod(p.c_str(), 0755);
    return p;
}

NodeWorld::NodeWorld(const std::map<std::string, Reply> &login, const std::string &status_answer) {
    std::map<std::string, Reply> replies = login;
    if (!replies.count("--status")) replies["--status"] = Reply(status_answer);
    login_tool(replies);
    token_tool({{"--help", Reply("usage\n")}});
}

Reply acting(Act act, const std::string &out, int exit_code) {
    Reply r(out, exit_code);
    r.act = act;
    return r;
}

std::vector<std::string> World::runs(const std::string &name) const {
    std::vector<std::string> lines;
    std::istringstream s(read("logs/" + name + ".log"));
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

// Reads both pipes until each is closed; neither can fill and block the
// child. *out_closed gets the time at which standard output ended (the end
// of the response as a host sees it). Standard error is read until it
// closes, or until the child has exited and it holds nothing more: under
// wine every process that the program starts inherits its POSIX standard
// error, whatever Windows handles it is given.
static void drain(pid_t pid, int out_fd, int err_fd, std::string &out, std::string &err, long long *out_closed,
                  int *status) {
    struct pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string *sinks[2] = {&out, &err};
    int open_count = 2;
    bool exited = false;
    char chunk[65536];
    while (open_count > 0) {
        if (fds[0].fd < 0 && !exited && waitpid(pid, status, WNOHANG) == pid) exited = true;
        int ready = poll(fds, 2, fds[0].fd < 0 ? 50 : -1);
        if (ready < 0) continue;
        if (ready == 0 && exited) {
            close(fds[1].fd);
            break;
        }
        for (int i = 0; i < 2; i++) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0) {
                sinks[i]->append(chunk, (size_t)n);
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                open_count--;
                if (i == 0) *out_closed = (long long)time(nullptr);
            }
        }
    }
}

// Closes every descriptor above standard error, in a child between fork
// and execve (system calls only).
static void close_above_stderr(void) {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3u, ~0u, 0u) == 0) return;
#endif
    long max = sysconf(_SC_OPEN_MAX);
    for (long fd = 3; fd < (max > 0 ? max : 1024); fd++) close((int)fd);
}

// Everything one run of the plugin needs, taken from its world at once, so
// that the run itself may go on on another thread.
struct Launch {
    std::string dir;
    bool hold_stdin;
    std::string stdin_body;
    bool ignore_sigchld;
    int descriptor_limit;
    std::vector<std::string> argv, env;
};

static Launch prepare(const World &w, const std::vector<std::string> &args) {
    Launch l{w.dir, w.hold_stdin, w.stdin_body, w.host_ignores_sigchld, w.host_descriptor_limit, {}, {}};
    target_process(w, args, l.argv, l.env);
    return l;
}

static Result execute(Launch l) {
    std::vector<char *> envp, argv;
    for (auto &s : l.env) envp.push_back(&s[0]);
    envp.push_back(nullptr);
    for (auto &a : l.argv) argv.push_back(&a[0]);
    argv.push_back(nullptr);

    // Close-on-exec: while several runs start at once, no plugin may
    // inherit another's pipe (dup2 below makes the copies it is to have).
    int out_pipe[2], err_pipe[2], in_pipe[2] = {-1, -1};
    if (pipe2(out_pipe, O_CLOEXEC) != 0 || pipe2(err_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (l.hold_stdin) {
        if (pipe2(in_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        if (::write(in_pipe[1], l.stdin_body.data(), l.stdin_body.size()) != (ssize_t)l.stdin_body.size())
            throw std::runtime_error("stdin write failed");
    }
    Result r;
    r.started = (long long)time(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_RDONLY);
        dup2(l.hold_stdin ? in_pipe[0] : devnull, 0);
        if (l.hold_stdin) close(in_pipe[1]);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        // Only the three standard descriptors reach the program: a stray
        // copy of a pipe's write end would hold the response open in every
        // process that inherits it (under wine, every process it starts).
        close(out_pipe[0]);
        close(err_pipe[0]);
        close(out_pipe[1]);
        close(err_pipe[1]);
        close(devnull);
        if (l.hold_stdin) close(in_pipe[0]);
        // Nor does any descriptor the test runner itself was handed (CTest
        // leaves some open without close-on-exec).
        close_above_stderr();
        if (chdir(l.dir.c_str()) != 0) _exit(126);
        if (l.ignore_sigchld) signal(SIGCHLD, SIG_IGN);  // kept across execve
        if (l.descriptor_limit > 0) {
            struct rlimit limit = {(rlim_t)l.descriptor_limit, (rlim_t)l.descriptor_limit};
            if (setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(124);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(125);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (l.hold_stdin) close(in_pipe[0]);
    int status = 0;
    drain(pid, out_pipe[0], err_pipe[0], r.out, r.err, &r.finished, &status);
    // drain may have reaped it already (ECHILD); its status is then in hand.
    pid_t waited;
    do waited = waitpid(pid, &status, 0);
    while (waited < 0 && errno == EINTR);
    if (waited < 0 && errno != ECHILD) throw std::runtime_error("waitpid failed");
    if (l.hold_stdin) close(in_pipe[1]);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    return r;
}

// The sizes of the files under logs/, to take a run that did not count back
// out of them.
static std::map<std::string, off_t> log_sizes(const std::string &dir) {
    std::map<std::string, off_t> sizes;
    std::string logs = dir + "/logs";
    if (DIR *d = opendir(logs.c_str())) {
        while (struct dirent *e = readdir(d)) {
            struct stat st;
            std::string p = logs + "/" + e->d_name;
            if (e->d_name[0] != '.' && stat(p.c_str(), &st) == 0) sizes[p] = st.st_size;
        }
        closedir(d);
    }
    return sizes;
}

// Runs the plugin; a run in which the target could not start a process is
// taken back out of the tools' logs and run again, a few times at most.
static Result execute_counted(Launch l, std::vector<std::string> args, std::string query) {
    constexpr int TRIES = 5;
    Result r;
    for (int attempt = 1;; attempt++) {
        std::map<std::string, off_t> before = log_sizes(l.dir);
        r = execute(l);
        if (!target_start_failed(r) || attempt == TRIES) break;
        printf("(the target could not start a process; running this case again, try %d of %d)\n%s\n",
               attempt + 1, TRIES, r.err.c_str());
        for (const auto &kv : log_sizes(l.dir)) {
            auto was = before.find(kv.first);
            if (was == before.end()) {
                remove(kv.first.c_str());
            } else if (truncate(kv.first.c_str(), was->second) != 0) {
                break;
            }
        }
    }
    std::lock_guard<std::mutex> hold(recorded_lock);
    recorded.push_back({l.dir, std::move(args), std::move(query), r});
    return r;
}

Result World::run(const std::vector<std::string> &args) const {
    auto q = env.find("QUERY_STRING");
    return execute_counted(prepare(*this, args), args, q == env.end() ? "(unset)" : q->second);
}

std::future<Result> World::request_in_background(const std::string &query) {
    env["QUERY_STRING"] = query;
    return std::async(std::launch::async, execute_counted, prepare(*this, {}), std::vector<std::string>{}, query);
}

Result World::request(const std::string &query) {
    env["QUERY_STRING"] = query;
    return run();
}

long long doc_now(const std::string &out) {
    size_t at = out.rfind("\"now\":");
    if (at == std::string::npos) return -1;
    return atoll(out.c_str() + at + 6);
}

Doc read_doc(const Result &r) {
    Doc d;
    size_t blank = r.out.find("\r\n\r\n");
    if (blank == std::string::npos) return d;
    d.head = r.out.substr(0, blank + 4);
    d.body = r.out.substr(blank + 4);
    d.valid = parse_document(d.body, &d.members) && keys_unique(d.members);
    if (!d.valid) d.members.clear();
    return d;
}

std::string Doc::operator[](const std::string &key) const {
    const JsonScan::Member *m = find_member(members, key.c_str());
    if (!m) return "(absent)";
    return m->is_string ? m->decoded : m->raw;
}

std::string Doc::raw(const std::string &key) const {
    const JsonScan::Member *m = find_member(members, key.c_str());
    return m ? m->raw : "(absent)";
}

std::string dots(int n, const std::string &name) {
    std::string s;
    for (int i = 0; i < n; i++) s += "./";
    return s + name;
}

std::string json_path(const std::string &p) {
    std::string out;
    for (char c : p) out += (c == '\\') ? std::string("\\\\") : std::string(1, c);
    return out;
}

std::string pending_marker() { return "{\"created\":" + std::to_string((long long)time(nullptr)) + "}"; }

std::string content_id_of(const World &w, const std::string &rel) {
    std::string command = "sha256sum < " + sh_quote(w.path(rel)) + " 2>/dev/null";
    FILE *p = popen(command.c_str(), "r");
    if (!p) return "";
    char digits[17] = {};
    size_t n = fread(digits, 1, 16, p);
    int status = pclose(p);
    return n == 16 && status == 0 ? std::string(digits) : "";
}

void expect_everything_found(const Result &r, const std::string &creds_path) {
    EXPECT_EQ(r.exit_code, 0);
    Doc d = read_doc(r);
    EXPECT_EQ(d.raw("path"), "\"" + json_path(creds_path) + "\"");
    EXPECT_EQ(d.raw("logged_in"), "true");
    EXPECT_EQ(d.raw("pending"), "true");
    EXPECT_EQ(d.raw("profile_exists"), "true");
}

}  // namespace e2e
