// POSIX implementation of the platform layer: getenv, lstat, whole-file
// reading, time(). Paths use '/', and HOME is the last source of the home
// directory. Tools are started by subprocess_posix.cc.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

const char PLAT_SEP = '/';

void plat_init_stdout(void) {}

void plat_write_stdout(const void *data, size_t n) {
    if (n > 0) fwrite(data, 1, n, stdout);
}

const char *plat_getenv(const char *name) { return getenv(name); }

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
