// Windows implementation of the platform layer: the C runtime's getenv,
// GetEnvironmentVariableA for the home-directory variables,
// GetFileAttributesA, cmd.exe through _popen and CreateProcessA, _time64.
// Paths use the backslash (a forward slash still ends a directory part when
// no backslash does), and there is no HOME fallback.
#include "platform/platform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "base/limits.h"

const char PLAT_SEP = '\\';

// The exit status with which cmd.exe reports a command it cannot find.
static const DWORD CMD_NOT_FOUND = 9009;

void plat_init_stdout(void) {
    // Text mode would turn every "\r\n" of a header line into "\r\r\n".
    _setmode(_fileno(stdout), _O_BINARY);
}

void plat_write_stdout(const void *data, size_t n) {
    if (n > 0) fwrite(data, 1, n, stdout);
}

const char *plat_getenv(const char *name) { return getenv(name); }

int plat_home_var(const char *name, char *out, size_t cap, size_t *full_len) {
    out[0] = '\0';
    *full_len = 0;
    SetLastError(ERROR_SUCCESS);
    DWORD got = GetEnvironmentVariableA(name, out, (DWORD)cap);
    if (got == 0) {
        out[0] = '\0';
        // An empty value is set; only ERROR_ENVVAR_NOT_FOUND means unset.
        return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    }
    if (got < cap) {  // it fitted: got is the length without the NUL
        *full_len = got;
        return 1;
    }
    // Too long for out: got is the size it needs, NUL included. Read it
    // whole so that the kept part is the value's own beginning.
    char *whole = (char *)malloc(got);
    if (!whole) return 0;
    DWORD again = GetEnvironmentVariableA(name, whole, got);
    if (again == 0 || again >= got) {  // changed under us: treat as unset
        free(whole);
        return 0;
    }
    *full_len = again;
    size_t keep = again < cap - 1 ? again : cap - 1;
    memcpy(out, whole, keep);
    out[keep] = '\0';
    free(whole);
    return 1;
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
        DWORD want = (DWORD)((n - got) < 0x10000000u ? (n - got) : 0x10000000u);
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

int plat_strnicmp(const char *a, const char *b, size_t n) { return _strnicmp(a, b, n); }

// A byte that cmd.exe would act on inside a double-quoted word, or that
// cannot be written in one: the quote itself ends the word, '%' expands
// variables even inside quotes, and a control byte can end the line.
static int unsafe_in_quotes(unsigned char c) { return c == '"' || c == '%' || c < 0x20 || c == 0x7f; }

int plat_command_line(const char *command, const char *args, char *out, size_t cap) {
    out[0] = '\0';
    // The command is one double-quoted word. There is no escape for a
    // quote or a '%' that cmd honours inside it, so such a command is
    // refused whole, as is one too long to fit: running a changed or
    // cut-off name would start another program.
    size_t n = strlen(command);
    if (n + 2 > QUOTED_COMMAND_MAX) return 0;
    for (size_t i = 0; i < n; i++) {
        if (unsafe_in_quotes((unsigned char)command[i])) return 0;
    }
    // cmd /c strips the first and the last quote of a line that holds more
    // than two, so the whole line gets one more pair around it.
    int w = args[0] ? snprintf(out, cap, "\"\"%s\" %s 2>NUL\"", command, args)
                    : snprintf(out, cap, "\"\"%s\" 2>NUL\"", command);
    if (w < 0 || (size_t)w >= cap) {
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
    // Binary, so that the captured bytes are the tool's own.
    FILE *f = _popen(cmdline, "rb");
    if (!f) return nullptr;
    PlatPipe *p = (PlatPipe *)malloc(sizeof *p);
    if (!p) {
        _pclose(f);
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
        int c = getc(p->f);
        if (c == EOF) break;
        out[n++] = (char)c;
        if (c == '\n') break;
    }
    out[n] = '\0';
    return n;
}

int plat_pclose(PlatPipe *p) {
    // _pclose gives the interpreter's exit status itself, or -1.
    int status = _pclose(p->f);
    free(p);
    return status == (int)CMD_NOT_FOUND ? -1 : 1;
}

// The interpreter that _popen runs: COMSPEC, else cmd.exe in the system
// directory (never a cmd.exe found in the working directory).
static int interpreter_path(char *out, size_t cap) {
    const char *comspec = getenv("COMSPEC");
    if (comspec && comspec[0]) return snprintf(out, cap, "%s", comspec) < (int)cap;
    UINT n = GetSystemDirectoryA(out, (UINT)cap);
    if (n == 0 || n >= cap) return 0;
    return snprintf(out + n, cap - n, "\\cmd.exe") < (int)(cap - n);
}

int plat_spawn_discard(const char *cmdline, PlatProcess *p) {
    p->handle = 0;
    char interpreter[MAX_PATH + 1];
    if (!interpreter_path(interpreter, sizeof interpreter)) return 0;
    // CreateProcessA may write into the command line, so it gets a copy.
    char line[COMMAND_LINE_CAP + 16];
    int w = snprintf(line, sizeof line, "cmd.exe /c %s", cmdline);
    if (w < 0 || (size_t)w >= sizeof line) return 0;

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE null_out = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                  OPEN_EXISTING, 0, nullptr);
    if (null_out == INVALID_HANDLE_VALUE) return 0;
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = null_out;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    fflush(stdout);
    BOOL started = CreateProcessA(interpreter, line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(null_out);  // the child holds its own copy
    if (!started) return 0;
    CloseHandle(pi.hThread);
    p->handle = (long long)(intptr_t)pi.hProcess;
    return 1;
}

int plat_wait(PlatProcess *p) {
    if (p->handle == 0) return 1;
    HANDLE h = (HANDLE)(intptr_t)p->handle;
    DWORD code = 0;
    int found = 1;
    if (WaitForSingleObject(h, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(h, &code) &&
        code == CMD_NOT_FOUND) {
        found = 0;
    }
    CloseHandle(h);
    p->handle = 0;
    return found ? 1 : -1;
}
