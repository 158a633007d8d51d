// Windows implementation of the platform layer: the C runtime's getenv,
// GetEnvironmentVariableA for the home-directory variables,
// GetFileAttributesA, whole-file reading, _time64. Paths use the backslash
// (a forward slash still ends a directory part when no backslash does), and
// there is no HOME fallback. Tools are started by subprocess_win32.cc.
#include "platform/platform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "base/limits.h"

const char PLAT_SEP = '\\';

void plat_init_stdout(void) {
    // Text mode would turn every "\r\n" of a header line into "\r\r\n".
    _setmode(_fileno(stdout), _O_BINARY);
}

void plat_write_stdout(const void *data, size_t n) {
    if (n > 0) fwrite(data, 1, n, stdout);
}

const char *plat_getenv(const char *name) { return getenv(name); }

// The last value plat_home_var read; it grows to the longest value read.
static char *home_value = nullptr;
static DWORD home_value_cap = 0;

const char *plat_home_var(const char *name) {
    // The first read tells the size a longer value needs; the second reads
    // it whole. A value that changes between them is taken as unset.
    for (int attempt = 0; attempt < 2; attempt++) {
        SetLastError(ERROR_SUCCESS);
        DWORD got = GetEnvironmentVariableA(name, home_value, home_value_cap);
        if (got == 0) {
            // An empty value is set; only ERROR_ENVVAR_NOT_FOUND means unset.
            return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? nullptr : "";
        }
        if (got < home_value_cap) return home_value;  // it fitted: got is its length
        // got is the size it needs, NUL included.
        char *grown = (char *)realloc(home_value, got);
        if (!grown) return nullptr;
        home_value = grown;
        home_value_cap = got;
    }
    return nullptr;
}

const char *plat_home_fallback(void) { return nullptr; }

long plat_last_separator(const char *path) {
    const char *s = strrchr(path, '\\');
    if (!s) s = strrchr(path, '/');
    return s ? (long)(s - path) : -1;
}

int plat_exists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

int plat_remove_file(const char *path) {
    DWORD attrs = GetFileAttributesA(path);
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY)) return 0;
    return remove(path) == 0;
}

char *plat_read_file(const char *path, unsigned long long max_bytes, size_t *len) {
    *len = 0;
    if (!path[0]) return nullptr;
    // Shared for reading, writing and deletion, so that a tool that is
    // rewriting the file is never stopped by us.
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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

