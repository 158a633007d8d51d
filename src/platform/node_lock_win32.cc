// The node lock on Windows: a named mutex whose name comes from the pending
// marker's path (lock_rules.h), made with the wide API. A mutex whose owner
// ended without letting it go (WAIT_ABANDONED) is ours all the same: the
// process that held it is gone. The handle is not inheritable.
#include "platform/platform.h"

#include <windows.h>

#include "platform/lock_rules.h"

// "Local\lumivane-node-" and 16 hexadecimal digits, with room to spare.
static const size_t LOCK_NAME_CAP = 64;

// The mutex while the lock is held; null otherwise.
static HANDLE lock_mutex = nullptr;

NodeLock plat_node_lock(const char *marker_path, long long deadline_ms) {
    if (lock_mutex) return NODE_LOCK_HELD;
    char name[LOCK_NAME_CAP];
    if (!lock_mutex_name(marker_path, name, sizeof name)) return NODE_LOCK_UNAVAILABLE;
    wchar_t wide[LOCK_NAME_CAP];
    size_t i = 0;
    for (; name[i]; i++) wide[i] = (wchar_t)(unsigned char)name[i];  // the name is ASCII
    wide[i] = L'\0';
    HANDLE m = CreateMutexW(nullptr, FALSE, wide);
    if (!m) return NODE_LOCK_UNAVAILABLE;
    long long left = deadline_ms - plat_clock_ms();
    DWORD wait_ms = left <= 0 ? 0 : (left >= (long long)INFINITE ? INFINITE - 1 : (DWORD)left);
    DWORD w = WaitForSingleObject(m, wait_ms);
    if (w == WAIT_OBJECT_0 || w == WAIT_ABANDONED) {
        lock_mutex = m;
        return NODE_LOCK_HELD;
    }
    CloseHandle(m);
    return w == WAIT_TIMEOUT ? NODE_LOCK_TIMED_OUT : NODE_LOCK_UNAVAILABLE;
}

void plat_node_unlock(void) {
    if (!lock_mutex) return;
    ReleaseMutex(lock_mutex);
    CloseHandle(lock_mutex);
    lock_mutex = nullptr;
}
