/* The floor: the least any program in the plugin's place must do for a
 * request, so that the plugin's cost can be given as a ratio to it.
 *
 * It runs the same tools as the plugin (LUMIVANE_LOGIN_BIN and
 * LUMIVANE_TOKEN_BIN) with the same options, reads their output, and
 * writes a fixed response: the bytes of RESPONSE_FILE, embedded at build time, which the
 * benchmark fills with what the plugin wrote for the same request. It
 * reads no file, checks no password and parses nothing.
 *
 * argv[1] lists the tool runs, one letter each, in order, after an
 * optional first letter that says how tools are started:
 *   D  directly, with posix_spawn: the tool is the program, its option
 *      the argument, standard input and error /dev/null (the plugin's way)
 *   (none) through /bin/sh, the command one quoted word and standard
 *      error to /dev/null (the plugin's earlier way, kept for comparison)
 * then:
 *   p  start the token tool's --help with output discarded (no wait)
 *   w  wait for that probe
 *   s  login tool --status      a  login tool --start
 *   o  login tool --poll        c  login tool --cancel
 *   l  token tool -local        h  token tool --help, read like the others
 * Without argv[1] it only writes the response (the page). */
#define _GNU_SOURCE
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

#define STR2(x) #x
#define STR(x) STR2(x)
__asm__(".section .rodata\n"
        ".global floor_response\n"
        "floor_response:\n"
        ".incbin \"" STR(RESPONSE_FILE) "\"\n"
        ".global floor_response_end\n"
        "floor_response_end:\n"
        ".previous\n");
extern const char floor_response[], floor_response_end[];

static void command_line(char *out, size_t cap, const char *tool, const char *opt) {
    snprintf(out, cap, "'%s' %s 2>/dev/null", tool, opt);
}

static int direct;  /* 1: tools start without a shell */

/* Starts tool with its option, standard input and error on /dev/null and
 * standard output on out_fd (-1: /dev/null). */
static pid_t spawn_direct(const char *tool, const char *opt, int out_fd) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (out_fd >= 0) {
        posix_spawn_file_actions_adddup2(&fa, out_fd, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    char *args[] = {(char *)tool, (char *)opt, NULL};
    pid_t pid = 0;
    if (posix_spawn(&pid, tool, &fa, NULL, args, environ) != 0) pid = 0;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

static void run_read(const char *tool, const char *opt) {
    if (direct) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        pid_t pid = spawn_direct(tool, opt, fds[1]);
        close(fds[1]);
        char block[16384];
        while (read(fds[0], block, sizeof block) > 0) {
        }
        close(fds[0]);
        if (pid > 0) waitpid(pid, NULL, 0);
        return;
    }
    char cmd[4096];
    command_line(cmd, sizeof cmd, tool, opt);
    FILE *f = popen(cmd, "r");
    if (!f) return;
    char piece[4096];
    while (fread(piece, 1, sizeof piece, f) > 0) {
    }
    pclose(f);
}

static pid_t spawn_discard(const char *tool, const char *opt) {
    if (direct) return spawn_direct(tool, opt, -1);
    char cmd[4096];
    command_line(cmd, sizeof cmd, tool, opt);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    char sh[] = "/bin/sh", dash_c[] = "-c";
    char *args[] = {sh, dash_c, cmd, NULL};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", &fa, NULL, args, environ) != 0) pid = 0;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

int main(int argc, char **argv) {
    const char *login = getenv("LUMIVANE_LOGIN_BIN");
    const char *token = getenv("LUMIVANE_TOKEN_BIN");
    const char *steps = argc > 1 ? argv[1] : "";
    if (steps[0] == 'D') {
        direct = 1;
        steps++;
    }
    pid_t probe = 0;
    for (const char *s = steps; *s; s++) {
        switch (*s) {
            case 'p': probe = spawn_discard(token, "--help"); break;
            case 'w':
                if (probe > 0) waitpid(probe, NULL, 0);
                probe = 0;
                break;
            case 's': run_read(login, "--status"); break;
            case 'a': run_read(login, "--start"); break;
            case 'o': run_read(login, "--poll"); break;
            case 'c': run_read(login, "--cancel"); break;
            case 'l': run_read(token, "-local"); break;
            case 'h': run_read(token, "--help"); break;
        }
    }
    fwrite(floor_response, 1, (size_t)(floor_response_end - floor_response), stdout);
    return 0;
}
