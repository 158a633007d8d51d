// The node lock on Windows: a named mutex, "Local\lumivane-node-<SHA-256
// of the marker's full path>" (lock_rules.h), the path as Windows
// resolves it (GetFullPathNameW, after a \\?\ prefix is set aside, letters
// in upper case), so that every spelling of one marker meets one mutex.
// The mutex is made with the user as its owner and a DACL that lets the
// user alone in; a mutex of that name that someone else made first is not
// used (another user could hold it as long as they like), and the request
// then goes on without the lock (NODE_LOCK_UNAVAILABLE) rather than being
// refused. A mutex whose owner ended without letting it go
// (WAIT_ABANDONED) is ours all the same: the process that held it is
// gone. The handle is not inheritable.
#include "platform/platform.h"

#include <windows.h>

#include <aclapi.h>
#include <string.h>
#include <wchar.h>

#include "base/limits.h"
#include "platform/lock_rules.h"
#include "platform/utf16.h"

// The mutex while the lock is held; null otherwise.
static HANDLE lock_mutex = nullptr;

// The key of the marker's lock: its full path, upper-cased the way file
// names compare, then lock_key_windows. 0 when it cannot be made.
static int marker_key(const char *marker_path, char *key, size_t cap) {
    char input[PATH_CAP];
    if (!lock_windows_input(marker_path, input, sizeof input)) return 0;
    static wchar_t wide[WIDE_PATH_CAP], full[WIDE_PATH_CAP], upper[WIDE_PATH_CAP];
    size_t n = utf16_from_utf8(input, strlen(input), wide, WIDE_PATH_CAP);
    if (n == 0 || n >= WIDE_PATH_CAP) return 0;
    DWORD f = GetFullPathNameW(wide, WIDE_PATH_CAP, full, nullptr);
    if (f == 0 || f >= WIDE_PATH_CAP) return 0;
    int u = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, full, (int)f, upper, (int)WIDE_PATH_CAP);
    if (u <= 0 || u >= (int)WIDE_PATH_CAP) return 0;
    char text[PATH_CAP * 3];
    size_t tn = utf8_from_utf16(upper, (size_t)u, text, sizeof text);
    if (tn >= sizeof text) return 0;
    return lock_key_windows(text, key, cap);
}

// The user this process runs as, in `buf`; null when it cannot be read.
static PSID process_user(unsigned char *buf, DWORD cap) {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
    DWORD got = 0;
    BOOL ok = GetTokenInformation(token, TokenUser, buf, cap, &got);
    CloseHandle(token);
    return ok ? ((TOKEN_USER *)buf)->User.Sid : nullptr;
}

// Opens or makes the mutex `name`, owned by `user` and open to `user`
// alone; null when that fails or the mutex belongs to someone else.
static HANDLE own_mutex(const wchar_t *name, PSID user) {
    unsigned char acl_buf[WIN_SECURITY_RECORD_CAP];
    PACL acl = (PACL)acl_buf;
    SECURITY_DESCRIPTOR sd;
    if (!InitializeAcl(acl, sizeof acl_buf, ACL_REVISION) ||
        !AddAccessAllowedAce(acl, ACL_REVISION, MUTEX_ALL_ACCESS, user) ||
        !InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorOwner(&sd, user, FALSE) || !SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE)) {
        return nullptr;
    }
    SECURITY_ATTRIBUTES sa = {sizeof sa, &sd, FALSE};
    HANDLE m = CreateMutexW(&sa, FALSE, name);
    if (!m) return nullptr;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return m;
    // Made before: used only when the user made it.
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR found = nullptr;
    DWORD r = GetSecurityInfo(m, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                              &found);
    int mine = r == ERROR_SUCCESS && owner && EqualSid(owner, user);
    if (found) LocalFree(found);
    if (mine) return m;
    CloseHandle(m);
    return nullptr;
}

NodeLock plat_node_lock(const char *marker_path, long long deadline_ms) {
    if (lock_mutex) return NODE_LOCK_HELD;
    char key[PATH_CAP * 3];
    char name[LOCK_NAME_CAP];
    if (!marker_key(marker_path, key, sizeof key) || !lock_name(key, name, sizeof name)) {
        return NODE_LOCK_UNAVAILABLE;
    }
    wchar_t wide[LOCK_NAME_CAP + 8] = L"Local\\";
    size_t at = wcslen(wide);
    for (size_t i = 0; name[i]; i++) wide[at++] = (wchar_t)(unsigned char)name[i];  // the name is ASCII
    wide[at] = L'\0';
    unsigned char user_buf[WIN_SECURITY_RECORD_CAP];
    PSID user = process_user(user_buf, sizeof user_buf);
    if (!user) return NODE_LOCK_UNAVAILABLE;
    HANDLE m = own_mutex(wide, user);
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
