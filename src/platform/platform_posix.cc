// POSIX implementation of the platform layer: getenv, lstat, /bin/sh
// through popen and posix_spawn, time(). Paths use '/', and HOME is the
// last source of the home directory.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "base/limits.h"

extern char **environ;

const char PLAT_SEP = '/';

// The POSIX shell's exit status for a command it cannot find.
static const int SHELL_NOT_FOUND = 127;

void plat_init_stdout(void) {}

void plat_write_stdout(const void *data, size_t n) {
    if (n > 0) fwrite(data, 1, n, stdout);
}

const char *plat_getenv(const char *name) { return getenv(name); }

int plat_home_var(const char *name, char *out, size_t cap, size_t *full_len) {
    out[0] = '\0';
    *full_len = 0;
    const char *v = getenv(name);
    if (!v) return 0;
    size_t n = strlen(v);
    *full_len = n;
    size_t keep = n < cap - 1 ? n : cap - 1;
    memcpy(out, v, keep);
    out[keep] = '\0';
    return 1;
}

const char *plat_home_fallback(void) { return getenv("HOME"); }

long plat_last_separator(const char *path) {
    const char *s = strrchr(path, '/');
    return s ? (long)(s - path) : -1;
}

int plat_exists(const char *path) {
    struct stat st;
    return lstat(path, &st) == 0;
}

int plat_remove_file(const char *path) {
    struct stat st;
    if (lstat(path, &st) != 0 || S_ISDIR(st.st_mode)) return 0;
    return unlink(path) == 0;
}

char *plat_read_file(const char *path, unsigned long long max_bytes, size_t *len) {
    *len = 0;
    if (!path[0]) return nullptr;
    // O_NONBLOCK keeps a FIFO without a writer from holding the request;
    // anything but a regular file is refused right after the open.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        (unsigned long long)st.st_size > max_bytes) {
        close(fd);
        return nullptr;
    }
    size_t size = (size_t)st.st_size;
    char *text = (char *)malloc(size + 1);
    if (!text) {
        close(fd);
        return nullptr;
    }
    size_t got = 0;
    while (got < size) {
        ssize_t r = read(fd, text + got, size - got);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += (size_t)r;
    }
    close(fd);
    if (got != size) {  // the file shrank under us: refuse rather than read short
        free(text);
        return nullptr;
    }
    text[size] = '\0';
    *len = size;
    return text;
}

long long plat_now(void) { return (long long)time(nullptr); }

int plat_strnicmp(const char *a, const char *b, size_t n) { return strncasecmp(a, b, n); }

int plat_command_line(const char *command, const char *args, char *out, size_t cap) {
    out[0] = '\0';
    // The command becomes one single-quoted shell word; each quote inside it
    // is closed, escaped and reopened ('\''). A word that would not fit is
    // refused whole: running a cut-off name would start another program.
    char word[QUOTED_COMMAND_MAX + 1];
    size_t w = 0;
    word[w++] = '\'';
    for (const char *c = command; *c; c++) {
        size_t need = (*c == '\'') ? 4 : 1;
        if (w + need + 1 > QUOTED_COMMAND_MAX) return 0;
        if (*c == '\'') {
            memcpy(word + w, "'\\''", 4);
        } else {
            word[w] = *c;
        }
        w += need;
    }
    word[w++] = '\'';
    word[w] = '\0';
    int n = args[0] ? snprintf(out, cap, "%s %s 2>/dev/null", word, args)
                    : snprintf(out, cap, "%s 2>/dev/null", word);
    if (n < 0 || (size_t)n >= cap) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

struct PlatPipe {
    FILE *f;
};

PlatPipe *plat_popen(const char *cmdline) {
    fflush(stdout);  // a child must never inherit unwritten response bytes
    FILE *f = popen(cmdline, "r");
    if (!f) return nullptr;
    PlatPipe *p = (PlatPipe *)malloc(sizeof *p);
    if (!p) {
        pclose(f);
        return nullptr;
    }
    p->f = f;
    return p;
}

size_t plat_pipe_read(PlatPipe *p, char *out, size_t cap) {
    // fgets semantics, but the count is the bytes actually read, so a NUL
    // inside the output does not hide the rest of the piece's length.
    size_t n = 0;
    while (n + 1 < cap) {
        int c = getc_unlocked(p->f);  // single-threaded: no lock per byte
        if (c == EOF) break;
        out[n++] = (char)c;
        if (c == '\n') break;
    }
    out[n] = '\0';
    return n;
}

static int not_found(int status) {
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == SHELL_NOT_FOUND;
}

int plat_pclose(PlatPipe *p) {
    int status = pclose(p->f);
    free(p);
    return not_found(status) ? -1 : 1;
}

int plat_spawn_discard(const char *cmdline, PlatProcess *p) {
    p->handle = 0;
    posix_spawn_file_actions_t fa;
    if (posix_spawn_file_actions_init(&fa) != 0) return 0;
    // Without the redirection the probe would write into our response.
    if (posix_spawn_file_actions_addopen(&fa, STDOUT_FILENO, "/dev/null", O_WRONLY, 0) != 0) {
        posix_spawn_file_actions_destroy(&fa);
        return 0;
    }
    char sh[] = "/bin/sh", dash_c[] = "-c";
    char *argv[] = {sh, dash_c, const_cast<char *>(cmdline), nullptr};
    fflush(stdout);
    pid_t pid;
    int rc = posix_spawn(&pid, "/bin/sh", &fa, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return 0;
    p->handle = pid;
    return 1;
}

int plat_wait(PlatProcess *p) {
    if (p->handle <= 0) return 1;
    int status = -1;
    while (waitpid((pid_t)p->handle, &status, 0) < 0) {
        if (errno != EINTR) {
            status = -1;
            break;
        }
    }
    p->handle = 0;
    return not_found(status) ? -1 : 1;
}
