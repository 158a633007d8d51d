// POSIX tools: a program started directly with vfork and execve (never
// through a shell), in a process group of its own, its output read through
// a non-blocking pipe and its time bounded on the monotonic clock. The
// rules that need no system call (search, environment filter) live in
// tool_launch.cc.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "base/limits.h"
#include "platform/tool_launch.h"

#ifdef __linux__
#include <sys/prctl.h>
#endif

extern char **environ;

// The exit status with which a POSIX shell reports a command it cannot
// find; a wrapper script whose inner command is missing ends with it too.
static const int SHELL_NOT_FOUND = 127;
// Where a bare name is searched when PATH is unset, as the shell does.
static const char DEFAULT_SEARCH_PATH[] = "/bin:/usr/bin";
// Without a process descriptor (an old kernel), how often the exit of the
// tool is looked for while waiting.
static const int EXIT_CHECK_MS = 10;

struct PlatTool {
    pid_t pid;
    int out_fd;              // our end of the output pipe, non-blocking; -1 when discarded
    int pid_fd;              // readable once the tool has exited; -1 when unavailable
    long long deadline_ms;   // on the monotonic clock
    int exited;              // 1 once reaped; status is then set
    int status;
    int timed_out;
};

static long long monotonic_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

static int runnable_file(const char *path, void *) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode) && access(path, X_OK) == 0;
}

// A descriptor above the standard three, close-on-exec: dup2 onto 0, 1 or
// 2 in the child then always makes a fresh, inheritable copy.
static int high_fd(int fd) {
    if (fd < 0 || fd > STDERR_FILENO) return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fd);
    return moved;
}

static void close_fd(int *fd) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
}

// The environment a tool receives: ours without the request's variables
// and the node password. A heap array of pointers into environ. Never
// inlined: its locals must not live across the vfork below.
__attribute__((noinline)) static char **tool_environment(void) {
    size_t n = 0;
    while (environ && environ[n]) n++;
    char **env = (char **)malloc((n + 1) * sizeof *env);
    if (!env) return nullptr;
    size_t k = 0;
    for (size_t i = 0; i < n; i++) {
        if (tool_env_passes(environ[i], 0)) env[k++] = environ[i];
    }
    env[k] = nullptr;
    return env;
}

ToolResult plat_tool_start(const char *command, const char *const *args, int nargs, int capture, long long timeout_sec,
                    PlatTool **tool) {
    *tool = nullptr;
    if (nargs < 0 || nargs > TOOL_OPTION_WORDS_MAX) return TOOL_NOT_STARTED;
    char found[PATH_CAP];
    const int bare = strchr(command, '/') == nullptr;
    if (bare) {
        const char *search = getenv("PATH");
        ToolSearchRules rules = {':', '/', 1, nullptr};
        if (!tool_search(command, search ? search : DEFAULT_SEARCH_PATH, &rules, runnable_file, nullptr, found,
                         sizeof found))
            return TOOL_NOT_FOUND;
    }
    const char *const program = bare ? found : command;

    // Everything the child needs is prepared here: after vfork it may only
    // make system calls.
    char *argv[TOOL_OPTION_WORDS_MAX + 2], *sh_argv[TOOL_OPTION_WORDS_MAX + 3];
    argv[0] = const_cast<char *>(command);
    sh_argv[0] = const_cast<char *>("sh");
    sh_argv[1] = const_cast<char *>(program);
    for (int i = 0; i < nargs; i++) {
        argv[i + 1] = const_cast<char *>(args[i]);
        sh_argv[i + 2] = const_cast<char *>(args[i]);
    }
    argv[nargs + 1] = nullptr;
    sh_argv[nargs + 2] = nullptr;
    char **const env = tool_environment();
    if (!env) return TOOL_NOT_STARTED;
    int null_fd = high_fd(open("/dev/null", O_RDWR | O_CLOEXEC | O_NOCTTY));
    int pipe_fds[2] = {-1, -1};
    if (capture && pipe2(pipe_fds, O_CLOEXEC) == 0) {
        pipe_fds[0] = high_fd(pipe_fds[0]);
        pipe_fds[1] = high_fd(pipe_fds[1]);
    }
    int out_child = capture ? pipe_fds[1] : null_fd;
    if (null_fd < 0 || out_child < 0 || (capture && pipe_fds[0] < 0)) {
        close_fd(&null_fd);
        close_fd(&pipe_fds[0]);
        close_fd(&pipe_fds[1]);
        free(env);
        return TOOL_NOT_STARTED;
    }

    fflush(stdout);  // a child must never inherit unwritten response bytes
    pid_t parent = getpid();
    volatile int exec_errno = 0;  // shared with the vfork child
    pid_t pid = vfork();
    if (pid == 0) {
#ifdef __linux__
        // The tool ends with the plugin when the host kills it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(SHELL_NOT_FOUND);
#endif
        setpgid(0, 0);
        if (dup2(null_fd, STDIN_FILENO) < 0 || dup2(out_child, STDOUT_FILENO) < 0 ||
            dup2(null_fd, STDERR_FILENO) < 0) {
            exec_errno = errno ? errno : EBADF;
            _exit(SHELL_NOT_FOUND);
        }
#if defined(__linux__) && defined(SYS_close_range)
        // Everything above the three is closed, whatever the host left open.
        syscall(SYS_close_range, STDERR_FILENO + 1, ~0U, 0);
#endif
        execve(program, argv, env);
        if (errno == ENOEXEC) execve("/bin/sh", sh_argv, env);  // a script without "#!"
        exec_errno = errno ? errno : ENOEXEC;
        _exit(SHELL_NOT_FOUND);
    }
    int start_errno = exec_errno;
    free(env);
    close_fd(&null_fd);
    close_fd(&pipe_fds[1]);
    if (pid < 0 || start_errno != 0) {
        close_fd(&pipe_fds[0]);
        if (pid > 0) {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        if (pid > 0 && (start_errno == ENOENT || start_errno == ENOTDIR)) return TOOL_NOT_FOUND;
        return TOOL_NOT_STARTED;
    }

    PlatTool *t = (PlatTool *)malloc(sizeof *t);
    if (!t) {
        kill(pid, SIGKILL);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        close_fd(&pipe_fds[0]);
        return TOOL_NOT_STARTED;
    }
    t->pid = pid;
    t->out_fd = pipe_fds[0];
    if (t->out_fd >= 0) fcntl(t->out_fd, F_SETFL, fcntl(t->out_fd, F_GETFL) | O_NONBLOCK);
    t->pid_fd = -1;
#if defined(__linux__) && defined(SYS_pidfd_open)
    t->pid_fd = (int)syscall(SYS_pidfd_open, pid, 0);
#endif
    t->deadline_ms = monotonic_ms() + timeout_sec * 1000;
    t->exited = 0;
    t->status = 0;
    t->timed_out = 0;
    *tool = t;
    return TOOL_RAN;
}

// Reaps the tool when it has exited; 1 when it has.
static int reap(PlatTool *t, int block) {
    if (t->exited) return 1;
    int status;
    pid_t r;
    do {
        r = waitpid(t->pid, &status, block ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == t->pid || (r < 0 && errno == ECHILD)) {
        t->exited = 1;
        t->status = r == t->pid ? status : 0;
    }
    return t->exited;
}

// Waits until the output pipe (when watch_output) is readable, the tool
// has exited, or the deadline passes. Returns 0 when the deadline passed.
static int wait_for_tool(PlatTool *t, int watch_output) {
    for (;;) {
        long long left = t->deadline_ms - monotonic_ms();
        if (left <= 0) return 0;
        struct pollfd fds[2];
        nfds_t n = 0;
        if (watch_output && t->out_fd >= 0) fds[n++] = {t->out_fd, POLLIN, 0};
        int slice = left > INT_MAX ? INT_MAX : (int)left;
        if (t->pid_fd >= 0) {
            fds[n++] = {t->pid_fd, POLLIN, 0};
        } else if (slice > EXIT_CHECK_MS) {
            slice = EXIT_CHECK_MS;
        }
        int r = poll(fds, n, slice);
        if (r < 0 && errno != EINTR) return 1;
        if (reap(t, 0)) return 1;
        if (r > 0 && watch_output && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) return 1;
    }
}

long plat_tool_read(PlatTool *t, char *out, size_t cap) {
    if (t->out_fd < 0) return 0;
    for (;;) {
        ssize_t n = read(t->out_fd, out, cap);
        if (n >= 0) return (long)n;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return 0;
        // Nothing for now: once the tool itself is gone, that is the end,
        // whoever else still holds the pipe.
        if (t->exited) return 0;
        if (!wait_for_tool(t, 1)) return -1;
    }
}

void plat_tool_end(PlatTool *t) {
    if (!t->exited) kill(-t->pid, SIGKILL);
}

ToolResult plat_tool_finish(PlatTool *t, int *killed) {
    if (!t->exited && !wait_for_tool(t, 0)) {
        kill(-t->pid, SIGKILL);
        t->timed_out = 1;
    }
    reap(t, 1);
    close_fd(&t->out_fd);
    close_fd(&t->pid_fd);
    int status = t->status;
    int timed_out = t->timed_out;
    free(t);
    if (killed) *killed = WIFSIGNALED(status);
    if (timed_out) return TOOL_TIMED_OUT;
    if (WIFEXITED(status) && WEXITSTATUS(status) == SHELL_NOT_FOUND) return TOOL_NOT_FOUND;
    return TOOL_RAN;
}
