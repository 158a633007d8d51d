// The node lock on POSIX: an exclusive flock on the pending marker's
// directory (or its nearest existing parent), taken without blocking and
// tried again until the deadline, so that a wait never outlasts the
// request. The descriptor is close-on-exec: no tool holds the lock.
#include "platform/platform.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/limits.h"
#include "platform/lock_rules.h"

// How long a waiting request sleeps between two tries: short beside the
// time a tool run takes, long enough not to spin.
static const long long LOCK_RETRY_MS = 20;

// The locked directory's descriptor; -1 when the lock is not held.
static int lock_fd = -1;

static int is_directory(const char *path, void *) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

NodeLock plat_node_lock(const char *marker_path, long long deadline_ms) {
    if (lock_fd >= 0) return NODE_LOCK_HELD;
    char dir[PATH_CAP];
    if (!lock_directory(marker_path, is_directory, nullptr, dir, sizeof dir)) return NODE_LOCK_UNAVAILABLE;
    int fd = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return NODE_LOCK_UNAVAILABLE;
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            lock_fd = fd;
            return NODE_LOCK_HELD;
        }
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) break;
        long long left = deadline_ms - plat_clock_ms();
        if (left <= 0) {
            close(fd);
            return NODE_LOCK_TIMED_OUT;
        }
        poll(nullptr, 0, (int)(left < LOCK_RETRY_MS ? left : LOCK_RETRY_MS));
    }
    close(fd);
    return NODE_LOCK_UNAVAILABLE;
}

void plat_node_unlock(void) {
    if (lock_fd < 0) return;
    close(lock_fd);  // drops the flock with it
    lock_fd = -1;
}
