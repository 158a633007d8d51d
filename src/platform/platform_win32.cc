// Windows implementation of the platform layer. Every text of the program
// is UTF-8, and Windows is spoken to in UTF-16 only, through the wide
// calls (utf16.h converts): the environment is read once with
// GetEnvironmentStringsW, files are reached with GetFileAttributesW,
// CreateFileW and DeleteFileW, and no C runtime call that goes through the
// ANSI code page (getenv, fopen, remove) is left. So a name holds every
// letter whatever the machine's code page, and an absolute path longer
// than MAX_PATH works (utf16_path). Paths use the backslash (a forward
// slash still ends a directory part when no backslash does), and there is
// no HOME fallback. Tools are started by subprocess_win32.cc.
#include "platform/platform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "base/ascii.h"
#include "base/limits.h"
#include "platform/utf16.h"

const char PLAT_SEP = '\\';

void plat_init_stdout(void) {
    // Text mode would turn every "\r\n" of a header line into "\r\r\n".
    _setmode(_fileno(stdout), _O_BINARY);
}

void plat_write_stdout(const void *data, size_t n) {
    if (n > 0) fwrite(data, 1, n, stdout);
}

// The process environment as UTF-8 "NAME=value" entries, each ending in a
// NUL, an empty entry after the last; read on the first lookup and kept
// for the life of the process (the program never changes its environment).
// Null when it could not be read: every variable then reads as unset.
static char *environment = nullptr;
static int environment_read = 0;

static void read_environment(void) {
    environment_read = 1;
    wchar_t *wide = GetEnvironmentStringsW();
    if (!wide) return;
    size_t total = 1;
    for (const wchar_t *e = wide; *e; e += wcslen(e) + 1) total += utf8_from_utf16(e, wcslen(e), nullptr, 0) + 1;
    environment = (char *)malloc(total);
    if (environment) {
        size_t at = 0;
        for (const wchar_t *e = wide; *e; e += wcslen(e) + 1) {
            at += utf8_from_utf16(e, wcslen(e), environment + at, total - at) + 1;
        }
        environment[at] = '\0';
    }
    FreeEnvironmentStringsW(wide);
}

const char *plat_getenv(const char *name) {
    if (!environment_read) read_environment();
    size_t n = strlen(name);
    for (const char *e = environment; e && *e; e += strlen(e) + 1) {
        // Names compare without regard to ASCII case, as Windows does.
        // Per-drive directories ("=C:=C:\dir") have a name that begins
        // with '='.
        const char *eq = strchr(e + 1, '=');
        if (eq && (size_t)(eq - e) == n && ascii_strnicmp(e, name, n) == 0) return eq + 1;
    }
    return nullptr;
}

const char *plat_home_fallback(void) { return nullptr; }

long plat_last_separator(const char *path) {
    const char *s = strrchr(path, '\\');
    if (!s) s = strrchr(path, '/');
    return s ? (long)(s - path) : -1;
}

// The path in the form the wide calls take; 0 when it does not fit, and
// then it names no file.
static int wide_path(const char *path, wchar_t *out) { return utf16_path(path, out, WIDE_PATH_CAP) < WIDE_PATH_CAP; }

static DWORD attributes(const char *path) {
    wchar_t wide[WIDE_PATH_CAP];
    if (!wide_path(path, wide)) return INVALID_FILE_ATTRIBUTES;
    return GetFileAttributesW(wide);
}

int plat_exists(const char *path) { return attributes(path) != INVALID_FILE_ATTRIBUTES; }

int plat_remove_file(const char *path) {
    wchar_t wide[WIDE_PATH_CAP];
    if (!wide_path(path, wide)) return 0;
    DWORD attrs = GetFileAttributesW(wide);
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    return DeleteFileW(wide) != 0;
}

char *plat_read_file(const char *path, unsigned long long max_bytes, size_t *len) {
    *len = 0;
    wchar_t wide[WIDE_PATH_CAP];
    if (!path[0] || !wide_path(path, wide)) return nullptr;
    // Shared for reading, writing and deletion, so that a tool that is
    // rewriting the file is never stopped by us.
    HANDLE h = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    // Only a file on disk: a console, a pipe or a device such as CON would
    // hold the request in ReadFile. Directories do not open without
    // FILE_FLAG_BACKUP_SEMANTICS.
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size) || size.QuadPart < 0 ||
        (unsigned long long)size.QuadPart > max_bytes) {
        CloseHandle(h);
        return nullptr;
    }
    size_t n = (size_t)size.QuadPart;
    char *text = (char *)malloc(n + 1);
    if (!text) {
        CloseHandle(h);
        return nullptr;
    }
    size_t got = 0;
    while (got < n) {
        DWORD want = (DWORD)((n - got) < WIN_READ_REQUEST_MAX ? (n - got) : WIN_READ_REQUEST_MAX);
        DWORD r = 0;
        if (!ReadFile(h, text + got, want, &r, nullptr) || r == 0) break;
        got += r;
    }
    CloseHandle(h);
    if (got != n) {  // the file shrank under us: refuse rather than read short
        free(text);
        return nullptr;
    }
    text[n] = '\0';
    *len = n;
    return text;
}

long long plat_now(void) { return (long long)_time64(nullptr); }

