// POSIX tools: a program started directly with vfork and execve (never
// through a shell), in a process group of its own, its output read through
// a non-blocking pipe and its time bounded on the monotonic clock (which is
// plat_clock_ms). The
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

extern char **environ;

// The exit status with which a POSIX shell reports a command it cannot
// find; a wrapper script whose inner command is missing ends with it too.
static const int SHELL_NOT_FOUND = 127;
// Where a bare name is searched when PATH is unset, as the shell does.
static const char DEFAULT_SEARCH_PATH[] = "/bin:/usr/bin";

struct PlatTool {
    pid_t pid;
    int out_fd;              // our end of the output pipe, non-blocking; -1 when discarded
    int pid_fd;              // readable once the tool has exited; -1 when unavailable
    long long deadline_ms;   // on the monotonic clock
    int exited;              // 1 once reaped; status is then set
    int status;
    int timed_out;
};

long long plat_clock_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

void plat_init_tools(void) {
    struct sigaction dfl;
    memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(SIGCHLD, &dfl, nullptr);
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

// Environment: what a tool receives, ours without the request's variables
// and the node password. A heap array of pointers into environ.
static char **tool_environment(void) {
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

// Search: the program that `command` names. A command with a directory
// part is taken as it is; a bare name is the first runnable file of that
// name on PATH. 0 when a bare name is found nowhere.
static int find_program(const char *command, char *found, size_t cap, const char **program) {
    if (strchr(command, '/')) {
        *program = command;
        return 1;
    }
    const char *search = getenv("PATH");
    ToolSearchRules rules = {':', '/', 1, nullptr};
    if (!tool_search(command, search ? search : DEFAULT_SEARCH_PATH, &rules, runnable_file, nullptr, found, cap))
        return 0;
    *program = found;
    return 1;
}

// Argv: what the program sees (argv[0] is the command as the caller wrote
// it), and what /bin/sh gets when the program is a script without "#!".
struct ChildArgs {
    char *argv[TOOL_OPTION_WORDS_MAX + 2];
    char *sh_argv[TOOL_OPTION_WORDS_MAX + 3];
};

static void build_args(const char *command, const char *program, const char *const *args, int nargs,
                       ChildArgs *a) {
    a->argv[0] = const_cast<char *>(command);
    a->sh_argv[0] = const_cast<char *>("sh");
    a->sh_argv[1] = const_cast<char *>(program);
    for (int i = 0; i < nargs; i++) {
        a->argv[i + 1] = const_cast<char *>(args[i]);
        a->sh_argv[i + 2] = const_cast<char *>(args[i]);
    }
    a->argv[nargs + 1] = nullptr;
    a->sh_argv[nargs + 2] = nullptr;
}

// Descriptors: the null device for standard input and error, and for
// standard output either the write end of a fresh pipe (capture) or the
// null device again. All are close-on-exec and above the standard three.
struct ChildFds {
    int null_fd;
    int out_child;  // the tool's standard output: pipe_write or null_fd
    int pipe_read;  // ours; -1 without capture
    int pipe_write;
};

static void close_child_fds(ChildFds *f) {
    close_fd(&f->null_fd);
    close_fd(&f->pipe_read);
    close_fd(&f->pipe_write);
    f->out_child = -1;
}

// 1 when every descriptor the tool needs is open; 0 with all closed.
static int open_child_fds(int capture, ChildFds *f) {
    f->null_fd = high_fd(open("/dev/null", O_RDWR | O_CLOEXEC | O_NOCTTY));
    f->pipe_read = -1;
    f->pipe_write = -1;
    f->out_child = f->null_fd;
    if (capture) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) == 0) {
            f->pipe_read = high_fd(ends[0]);
            f->pipe_write = high_fd(ends[1]);
        }
        f->out_child = f->pipe_write;
    }
    if (f->null_fd < 0 || f->out_child < 0 || (capture && f->pipe_read < 0)) {
        close_child_fds(f);
        return 0;
    }
    return 1;
}

// Spawn: vfork, and in the child only system calls on what was prepared
// above. The child shares our memory until it execs: *exec_errno is how it
// tells why it could not start the program. Returns the child's pid, or
// -1 when vfork failed. Never inlined, so that the frame the child borrows
// holds nothing of the caller's.
__attribute__((noinline)) static pid_t spawn(const char *program, ChildArgs *a, char **env, const ChildFds *f,
                                             volatile int *exec_errno) {
    const int null_fd = f->null_fd;
    const int out_child = f->out_child;
    *exec_errno = 0;
    pid_t pid = vfork();
    if (pid != 0) return pid;
    // No parent-death signal: a tool that the plugin leaves running (its
    // answer given, its state still being saved) must outlive the plugin.
    setpgid(0, 0);
    if (dup2(null_fd, STDIN_FILENO) < 0 || dup2(out_child, STDOUT_FILENO) < 0 ||
        dup2(null_fd, STDERR_FILENO) < 0) {
        *exec_errno = errno ? errno : EBADF;
        _exit(SHELL_NOT_FOUND);
    }
#if defined(__linux__) && defined(SYS_close_range)
    // Everything above the three is closed, whatever the host left open.
    syscall(SYS_close_range, STDERR_FILENO + 1, ~0U, 0);
#endif
    execve(program, a->argv, env);
    if (errno == ENOEXEC) execve("/bin/sh", a->sh_argv, env);  // a script without "#!"
    *exec_errno = errno ? errno : ENOEXEC;
    _exit(SHELL_NOT_FOUND);
}

static void reap_blocking(pid_t pid) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Error sorting: a start that failed, told as a result. A program that is
// not there (or a path through a non-directory) is not found; anything
// else could not be started. A child that was made is reaped.
static ToolResult start_failure(pid_t pid, int exec_errno) {
    if (pid < 0) return TOOL_NOT_STARTED;
    reap_blocking(pid);
    if (exec_errno == ENOENT || exec_errno == ENOTDIR) return TOOL_NOT_FOUND;
    return TOOL_NOT_STARTED;
}

// The record of a running tool; null (and the tool ended and reaped) when
// there is no memory for it.
static PlatTool *new_tool(pid_t pid, int out_fd, long long deadline_ms) {
    PlatTool *t = (PlatTool *)malloc(sizeof *t);
    if (!t) {
        kill(pid, SIGKILL);
        reap_blocking(pid);
        return nullptr;
    }
    t->pid = pid;
    t->out_fd = out_fd;
    if (t->out_fd >= 0) fcntl(t->out_fd, F_SETFL, fcntl(t->out_fd, F_GETFL) | O_NONBLOCK);
    t->pid_fd = -1;
#if defined(__linux__) && defined(SYS_pidfd_open)
    t->pid_fd = (int)syscall(SYS_pidfd_open, pid, 0);
#endif
    t->deadline_ms = deadline_ms;
    t->exited = 0;
    t->status = 0;
    t->timed_out = 0;
    return t;
}

ToolResult plat_tool_start(const char *command, const char *const *args, int nargs, int capture, long long deadline_ms,
                    PlatTool **tool) {
    *tool = nullptr;
    if (nargs < 0 || nargs > TOOL_OPTION_WORDS_MAX) return TOOL_NOT_STARTED;
    char found[PATH_CAP];
    const char *program;
    if (!find_program(command, found, sizeof found, &program)) return TOOL_NOT_FOUND;

    // Everything the child needs is prepared before the vfork: after it,
    // the child may only make system calls.
    ChildArgs child_args;
    build_args(command, program, args, nargs, &child_args);
    char **const env = tool_environment();
    if (!env) return TOOL_NOT_STARTED;
    ChildFds fds;
    if (!open_child_fds(capture, &fds)) {
        free(env);
        return TOOL_NOT_STARTED;
    }

    volatile int exec_errno = 0;
    pid_t pid = spawn(program, &child_args, env, &fds, &exec_errno);
    free(env);
    int out_fd = fds.pipe_read;
    fds.pipe_read = -1;  // kept for the tool record; the rest is the child's now
    close_child_fds(&fds);
    if (pid < 0 || exec_errno != 0) {
        close_fd(&out_fd);
        return start_failure(pid, exec_errno);
    }

    PlatTool *t = new_tool(pid, out_fd, deadline_ms);
    if (!t) {
        close_fd(&out_fd);
        return TOOL_NOT_STARTED;
    }
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
// has exited, or until_ms passes. Returns 0 when until_ms passed.
static int wait_for_tool(PlatTool *t, int watch_output, long long until_ms) {
    for (;;) {
        // A tool that exited in time is not late because it is seen late.
        if (reap(t, 0)) return 1;
        long long left = until_ms - plat_clock_ms();
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
        if (!wait_for_tool(t, 1, t->deadline_ms)) return -1;
    }
}

// Kills the tool's group and the tool itself: a tool may have left its
// group (even for the plugin's own, which is not killed), but it stays our
// child, and its pid stays its own until it is reaped.
static void kill_tool(PlatTool *t) {
    if (t->exited) return;
    kill(-t->pid, SIGKILL);
    kill(t->pid, SIGKILL);
}

void plat_tool_end(PlatTool *t) { kill_tool(t); }

int plat_tool_wait(PlatTool *t, long long until_ms) {
    if (until_ms > t->deadline_ms) until_ms = t->deadline_ms;
    while (!reap(t, 0)) {
        if (!wait_for_tool(t, 0, until_ms)) return 0;
    }
    return 1;
}

static void free_tool(PlatTool *t) {
    close_fd(&t->out_fd);
    close_fd(&t->pid_fd);
    free(t);
}

void plat_tool_leave(PlatTool *t) {
    // Not reaped: once it ends, it waits as a zombie for the plugin's exit.
    free_tool(t);
}

ToolResult plat_tool_finish(PlatTool *t, ToolExit *how) {
    while (!reap(t, 0)) {
        if (!wait_for_tool(t, 0, t->deadline_ms)) {
            kill_tool(t);
            t->timed_out = 1;
            // Killed, it goes at once; still it is waited for only a
            // bounded time, and one that is still there then is left.
            wait_for_tool(t, 0, plat_clock_ms() + KILLED_EXIT_WAIT_MS);
            break;
        }
    }
    int status = t->exited ? t->status : 0;
    int timed_out = t->timed_out;
    int exited = t->exited;
    free_tool(t);
    if (how) {
        how->killed = timed_out || (exited && WIFSIGNALED(status));
        how->exited = !how->killed && exited && WIFEXITED(status);
        how->code = how->exited ? (unsigned long)WEXITSTATUS(status) : 0;
    }
    if (timed_out) return TOOL_TIMED_OUT;
    if (WIFEXITED(status) && WEXITSTATUS(status) == SHELL_NOT_FOUND) return TOOL_NOT_FOUND;
    return TOOL_RAN;
}
