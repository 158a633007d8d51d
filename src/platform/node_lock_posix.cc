// The node lock on POSIX: an exclusive flock on a lock file of the
// program's own, "<lock folder>/lumivane-node-<SHA-256 of the marker's
// real path>" (lock_rules.h). The lock folder is made 0700 and used only
// when it is the user's own and no link, and the lock file is made 0600
// with O_NOFOLLOW and used only when it is the user's own regular file:
// nobody else can open it, so nobody else can hold it. The tools never
// see either (close-on-exec, in a folder they do not manage), so a tool
// that deletes and re-creates its state folder leaves the lock alone.
//
// The holder removes the file before it lets go; a request that was
// waiting on the removed file finds, once it holds it, that the name now
// leads elsewhere (or nowhere), and starts again on the name. So the
// folder keeps no file per marker ever used, and no two requests ever hold
// two files of one name.
//
// A lock that cannot be had here (no folder can be made or trusted) is
// NODE_LOCK_UNAVAILABLE: the request then goes on without it rather than
// being refused, so that another user who makes the folder first in a
// shared /tmp cannot stop the node's sign-in.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/limits.h"
#include "base/text.h"
#include "platform/lock_rules.h"


// While the lock is held: the lock folder, the lock file and its name.
static int lock_dir_fd = -1;
static int lock_fd = -1;
static char lock_file[LOCK_NAME_CAP];

static int is_directory(const char *path, void *) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// Whether nobody but its owner (the user or root) can put or take a name
// in the folder `st` describes: not writable by group or others, or
// sticky (as /tmp is).
static int folder_is_guarded(const struct stat *st) {
    if (!S_ISDIR(st->st_mode)) return 0;
    if (st->st_uid != geteuid() && st->st_uid != 0) return 0;
    return (st->st_mode & (S_IWGRP | S_IWOTH)) == 0 || (st->st_mode & S_ISVTX) != 0;
}

// Opens the lock folder at `path`, making it 0700 when it is not there.
// Returns its descriptor, or -1 when it cannot be made or is not to be
// trusted: its parent lets others rename it, it is a link, or it is not
// the user's own. A folder of the user's own that others may read or
// enter is made 0700 again.
static int open_lock_folder(const char *path) {
    char parent[PATH_CAP];
    copy_text(parent, sizeof parent, path);
    char *sep = strrchr(parent, '/');
    if (!sep) return -1;
    if (sep == parent) sep[1] = '\0'; else *sep = '\0';
    struct stat st;
    if (stat(parent, &st) != 0 || !folder_is_guarded(&st)) return -1;
    if (mkdir(path, 0700) != 0 && errno != EEXIST) return -1;
    int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
        ((st.st_mode & 077) != 0 && fchmod(fd, 0700) != 0)) {
        close(fd);
        return -1;
    }
    return fd;
}

// The real path of the marker, the key of its lock (lock_key_posix).
static int marker_key(const char *marker_path, char *key, size_t cap) {
    char dir[PATH_CAP];
    if (!lock_directory(marker_path, is_directory, nullptr, dir, sizeof dir)) return 0;
    char resolved[PATH_MAX];
    if (!realpath(dir, resolved)) return 0;
    return lock_key_posix(marker_path, dir, resolved, key, cap);
}

// 1 when the descriptor is still the file that `name` names in the folder.
static int still_named(int dir_fd, const char *name, int fd) {
    struct stat by_name, held;
    if (fstatat(dir_fd, name, &by_name, AT_SYMLINK_NOFOLLOW) != 0) return 0;
    if (fstat(fd, &held) != 0) return 0;
    return by_name.st_dev == held.st_dev && by_name.st_ino == held.st_ino;
}

// Waits for the lock file `name` in the folder until the deadline.
static NodeLock lock_in(int dir_fd, const char *name, long long deadline_ms) {
    for (;;) {
        int fd = openat(dir_fd, name, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
        struct stat st;
        if (fd < 0) return NODE_LOCK_UNAVAILABLE;
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
            close(fd);
            return NODE_LOCK_UNAVAILABLE;
        }
        for (;;) {
            if (flock(fd, LOCK_EX | LOCK_NB) == 0) break;
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK) {
                close(fd);
                return NODE_LOCK_UNAVAILABLE;
            }
            long long left = deadline_ms - plat_clock_ms();
            if (left <= 0) {
                close(fd);
                return NODE_LOCK_TIMED_OUT;
            }
            poll(nullptr, 0, (int)(left < LOCK_RETRY_MS ? left : LOCK_RETRY_MS));
        }
        if (still_named(dir_fd, name, fd)) {
            lock_fd = fd;
            return NODE_LOCK_HELD;
        }
        close(fd);  // its holder removed it on letting go: the name again
    }
}

NodeLock plat_node_lock(const char *marker_path, long long deadline_ms) {
    if (lock_fd >= 0) return NODE_LOCK_HELD;
    char key[PATH_CAP];
    if (!marker_key(marker_path, key, sizeof key)) return NODE_LOCK_UNAVAILABLE;
    if (!lock_name(key, lock_file, sizeof lock_file)) return NODE_LOCK_UNAVAILABLE;
    char folder[PATH_CAP];
    for (int i = 0; lock_folder(i, plat_getenv("HOME"), plat_getenv("TMPDIR"), (unsigned long)geteuid(), folder,
                                sizeof folder);
         i++) {
        int dir_fd = open_lock_folder(folder);
        if (dir_fd < 0) continue;
        NodeLock got = lock_in(dir_fd, lock_file, deadline_ms);
        if (got == NODE_LOCK_HELD) {
            lock_dir_fd = dir_fd;
            return got;
        }
        close(dir_fd);
        return got;
    }
    return NODE_LOCK_UNAVAILABLE;
}

void plat_node_unlock(void) {
    if (lock_fd < 0) return;
    // Removed while still held, so that no one locks this file after us
    // believing it is still the one of its name.
    unlinkat(lock_dir_fd, lock_file, 0);
    close(lock_fd);  // drops the flock with it
    close(lock_dir_fd);
    lock_fd = -1;
    lock_dir_fd = -1;
}
