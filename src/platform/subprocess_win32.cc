// Windows tools: a program started with CreateProcessW (cmd.exe only for
// .bat and .cmd files) in a job of its own, with only the handles it needs
// inherited, its output read through an overlapped named pipe and its time
// bounded on GetTickCount64. The rules that need no system call (search,
// environment filter, command lines) live in tool_launch.cc and work on
// UTF-8; what reaches Windows (the paths searched, the program, its command
// line and its environment block) is UTF-16, converted by utf16.h.
#include "platform/platform.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/limits.h"
#include "platform/tool_launch.h"
#include "platform/utf16.h"

// The exit status with which cmd.exe reports a command it cannot find; a
// .cmd wrapper whose inner command is missing ends with it.
static const DWORD CMD_NOT_FOUND = 9009;
// The extensions tried for a bare name when PATHEXT is unset.
static const char DEFAULT_PATHEXT[] = ".COM;.EXE;.BAT;.CMD";
// A process that an unhandled exception (an access violation, a stack
// overflow, a fast fail) or Ctrl-C ended has a system error status as its
// exit code: severity "error", system facility, 0xC000xxxx. No tool exits
// with one of its own accord, so it tells that the tool was killed.
static const DWORD SYSTEM_ERROR_STATUS = 0xC0000000;
static const DWORD SYSTEM_ERROR_STATUS_MASK = 0xFFFF0000;

struct PlatTool {
    HANDLE process;
    HANDLE job;         // null when the tool could not be put in a job
    HANDLE out;         // our end of the output pipe (overlapped); null when discarded
    HANDLE event;       // signalled when a read completes
    ULONGLONG deadline_ms;  // on GetTickCount64
    int exited;         // 1 once the tool itself has ended
    int timed_out;
    int ended;          // 1 once plat_tool_end has ended it
};

static void close_handle(HANDLE *h) {
    if (*h && *h != INVALID_HANDLE_VALUE) CloseHandle(*h);
    *h = nullptr;
}

static int runnable_file(const char *path, void *) {
    wchar_t wide[WIDE_PATH_CAP];
    if (utf16_path(path, wide, WIDE_PATH_CAP) >= WIDE_PATH_CAP) return 0;
    DWORD attrs = GetFileAttributesW(wide);
    return attrs != INVALID_FILE_ATTRIBUTES && !(attrs & FILE_ATTRIBUTE_DIRECTORY);
}

// The environment block a tool receives (UTF-16): ours without the
// request's variables and the node password (names compared without
// case). An entry that passes is copied unit for unit. Heap.
static wchar_t *tool_environment(void) {
    wchar_t *ours = GetEnvironmentStringsW();
    if (!ours) return nullptr;
    size_t total = 0, longest = 0;
    for (const wchar_t *e = ours; *e; e += wcslen(e) + 1) {
        size_t n = wcslen(e);
        total += n + 1;
        size_t bytes = utf8_from_utf16(e, n, nullptr, 0);
        if (bytes > longest) longest = bytes;
    }
    wchar_t *block = (wchar_t *)malloc((total + 2) * sizeof(wchar_t));
    char *entry = (char *)malloc(longest + 1);  // one entry in UTF-8, for the filter
    if (block && entry) {
        size_t at = 0;
        for (const wchar_t *e = ours; *e; e += wcslen(e) + 1) {
            size_t n = wcslen(e);
            utf8_from_utf16(e, n, entry, longest + 1);
            if (!tool_env_passes(entry, 1)) continue;
            memcpy(block + at, e, (n + 1) * sizeof(wchar_t));
            at += n + 1;
        }
        // An empty block still needs one empty entry.
        if (at == 0) block[at++] = L'\0';
        block[at] = L'\0';
    } else {
        free(block);
        block = nullptr;
    }
    free(entry);
    FreeEnvironmentStringsW(ours);
    return block;
}

// cmd.exe in the system directory, never one found elsewhere (UTF-8).
static int system_cmd(char *out, size_t cap) {
    wchar_t dir[MAX_PATH];
    UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 0;
    size_t len = utf8_from_utf16(dir, n, out, cap);
    if (len >= cap) return 0;
    return snprintf(out + len, cap - len, "\\cmd.exe") < (int)(cap - len);
}

// The UTF-16 form of a text that holds no path, on the heap.
static wchar_t *wide_text(const char *text) {
    size_t n = strlen(text);
    size_t units = utf16_from_utf8(text, n, nullptr, 0);
    wchar_t *wide = (wchar_t *)malloc((units + 1) * sizeof(wchar_t));
    if (wide) utf16_from_utf8(text, n, wide, units + 1);
    return wide;
}

// Our end of a fresh output pipe (overlapped, not inherited) and the
// tool's end (inheritable). 0 on failure, both null.
static int output_pipe(HANDLE *ours, HANDLE *theirs, const void *unique) {
    char name[WIN_PIPE_NAME_CAP];
    snprintf(name, sizeof name, "\\\\.\\pipe\\lumivane-tool-%lu-%p", (unsigned long)GetCurrentProcessId(), unique);
    wchar_t wide[sizeof name];
    utf16_from_utf8(name, strlen(name), wide, sizeof name);
    *ours = CreateNamedPipeW(wide, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                             PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0, (DWORD)WIN_PIPE_BUFFER, 0, nullptr);
    if (*ours == INVALID_HANDLE_VALUE) {
        *ours = nullptr;
        *theirs = nullptr;
        return 0;
    }
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    *theirs = CreateFileW(wide, GENERIC_WRITE, 0, &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (*theirs == INVALID_HANDLE_VALUE) {
        *theirs = nullptr;
        close_handle(ours);
        return 0;
    }
    return 1;
}

static HANDLE null_device(DWORD access) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE h = CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

// Starts the process suspended with only the given handles inherited; app
// and line are UTF-8, env a UTF-16 block. Returns 1, or 0 with
// GetLastError() telling why.
static int create_process(const char *app, const char *line, wchar_t *env, HANDLE in, HANDLE out, HANDLE err,
                          PROCESS_INFORMATION *pi) {
    wchar_t app_wide[WIDE_PATH_CAP];
    if (utf16_path(app, app_wide, WIDE_PATH_CAP) >= WIDE_PATH_CAP) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    HANDLE list[3] = {in, out, err};
    DWORD count = 0;
    HANDLE unique[3];
    for (HANDLE h : list) {
        int seen = 0;
        for (DWORD i = 0; i < count; i++) seen |= unique[i] == h;
        if (!seen) unique[count++] = h;
    }
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    LPPROC_THREAD_ATTRIBUTE_LIST attrs = (LPPROC_THREAD_ATTRIBUTE_LIST)malloc(size);
    wchar_t *line_wide = wide_text(line);  // CreateProcessW may write to it
    if (!attrs || !line_wide) {
        free(attrs);
        free(line_wide);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (!InitializeProcThreadAttributeList(attrs, 1, 0, &size)) {
        free(attrs);
        free(line_wide);
        return 0;
    }
    int ok = 0;
    if (UpdateProcThreadAttribute(attrs, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, unique, count * sizeof(HANDLE),
                                  nullptr, nullptr)) {
        STARTUPINFOEXW si;
        memset(&si, 0, sizeof si);
        si.StartupInfo.cb = sizeof si;
        si.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        si.StartupInfo.hStdInput = in;
        si.StartupInfo.hStdOutput = out;
        si.StartupInfo.hStdError = err;
        si.lpAttributeList = attrs;
        ok = CreateProcessW(app_wide, line_wide, nullptr, nullptr, TRUE,
                            CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT |
                                CREATE_UNICODE_ENVIRONMENT,
                            env, nullptr, &si.StartupInfo, pi) != 0;
    }
    DWORD error = GetLastError();
    DeleteProcThreadAttributeList(attrs);
    free(attrs);
    free(line_wide);
    SetLastError(error);
    return ok;
}

// Search: the file that `command` names. A command with a directory part
// or a drive is taken as it is; a bare name is the first file found on PATH
// with the name as given or with one of the PATHEXT extensions. 0 when a
// bare name is found nowhere.
static int find_program(const char *command, char *found, size_t cap, const char **path) {
    if (strpbrk(command, "\\/:")) {
        *path = command;
        return 1;
    }
    const char *search = plat_getenv("PATH");
    const char *exts = plat_getenv("PATHEXT");
    ToolSearchRules rules = {';', '\\', 0, (exts && exts[0]) ? exts : DEFAULT_PATHEXT};
    if (!tool_search(command, search ? search : "", &rules, runnable_file, nullptr, found, cap)) return 0;
    *path = found;
    return 1;
}

// Command line: the program CreateProcess starts (app) and the line it
// passes. Only .bat and .cmd files need cmd.exe; everything else starts
// directly, whatever its path holds. 0 when the line cannot be written.
static int build_command_line(const char *path, const char *const *args, int nargs, char *cmd_exe, size_t cmd_cap,
                              char *line, const char **app) {
    if (!tool_is_batch(path)) {
        *app = path;
        return tool_direct_command_line(path, args, nargs, line, WIN_COMMAND_LINE_CAP);
    }
    *app = cmd_exe;
    if (!system_cmd(cmd_exe, cmd_cap)) return 0;
    return tool_batch_command_line(cmd_exe, path, args, nargs, line, WIN_COMMAND_LINE_CAP);
}

// Handles: the null device for standard input and error, and for standard
// output either the tool's end of the output pipe (capture) or the null
// device again. Our end of the pipe and the read event go into the tool
// record.
struct ChildHandles {
    HANDLE null_in;
    HANDLE null_out;
    HANDLE pipe_theirs;  // null without capture
};

static void close_child_handles(ChildHandles *h) {
    close_handle(&h->null_in);
    close_handle(&h->null_out);
    close_handle(&h->pipe_theirs);
}

// 1 when every handle the tool and the reads need is open; 0 with the
// child's handles closed (what went into t is closed by its owner).
static int open_child_handles(int capture, ChildHandles *h, PlatTool *t) {
    h->null_in = null_device(GENERIC_READ);
    h->null_out = null_device(GENERIC_WRITE);
    h->pipe_theirs = nullptr;
    int ok = h->null_in && h->null_out;
    if (ok && capture) ok = output_pipe(&t->out, &h->pipe_theirs, t);
    if (ok) {
        t->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ok = t->event != nullptr;
    }
    if (!ok) close_child_handles(h);
    return ok;
}

// Spawn: the process, started suspended, put in a job of its own so that
// it can be ended with everything it starts (where that is refused, the
// tool alone is ended), then resumed. Returns 1, or 0 with the error.
static int spawn(const char *app, const char *line, wchar_t *env, const ChildHandles *h, int capture, PlatTool *t,
                 DWORD *error) {
    // Our own standard handles never reach a tool, whatever the host made
    // inheritable.
    SetHandleInformation(GetStdHandle(STD_INPUT_HANDLE), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(GetStdHandle(STD_OUTPUT_HANDLE), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(GetStdHandle(STD_ERROR_HANDLE), HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION pi;
    HANDLE out = capture ? h->pipe_theirs : h->null_out;
    if (!create_process(app, line, env, h->null_in, out, h->null_out, &pi)) {
        *error = GetLastError();
        return 0;
    }
    t->job = CreateJobObjectW(nullptr, nullptr);
    if (t->job && !AssignProcessToJobObject(t->job, pi.hProcess)) close_handle(&t->job);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    t->process = pi.hProcess;
    return 1;
}

// Error sorting: a file that CreateProcess could not find is not found;
// anything else could not be started.
static ToolResult start_failure(DWORD error) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return TOOL_NOT_FOUND;
    return TOOL_NOT_STARTED;
}

static void free_tool(PlatTool *t) {
    close_handle(&t->process);
    close_handle(&t->job);
    close_handle(&t->out);
    close_handle(&t->event);
    free(t);
}

long long plat_clock_ms(void) { return (long long)GetTickCount64(); }

void plat_init_tools(void) {}

ToolResult plat_tool_start(const char *command, const char *const *args, int nargs, int capture, long long deadline_ms,
                    PlatTool **tool) {
    *tool = nullptr;
    char found[PATH_CAP];
    const char *path;
    if (!find_program(command, found, sizeof found, &path)) return TOOL_NOT_FOUND;

    PlatTool *t = (PlatTool *)calloc(1, sizeof *t);
    char *line = (char *)malloc(WIN_COMMAND_LINE_CAP);
    wchar_t *env = tool_environment();
    char cmd_exe[PATH_CAP];  // UTF-8: the system folder may hold any letter
    const char *app = nullptr;
    ChildHandles handles = {};
    int started = 0;
    DWORD error = ERROR_INVALID_PARAMETER;
    if (t && line && env && build_command_line(path, args, nargs, cmd_exe, sizeof cmd_exe, line, &app) &&
        open_child_handles(capture, &handles, t)) {
        started = spawn(app, line, env, &handles, capture, t, &error);
        close_child_handles(&handles);  // the tool holds its own copies
    }
    free(line);
    free(env);
    if (!started) {
        if (t) free_tool(t);
        return start_failure(error);
    }
    t->deadline_ms = deadline_ms > 0 ? (ULONGLONG)deadline_ms : 0;
    *tool = t;
    return TOOL_RAN;
}

// Milliseconds left before until_ms, 0 when it has passed.
static DWORD time_until(ULONGLONG until_ms) {
    ULONGLONG now = GetTickCount64();
    if (now >= until_ms) return 0;
    ULONGLONG left = until_ms - now;
    return left >= INFINITE ? INFINITE - 1 : (DWORD)left;
}

// Milliseconds left before the deadline, 0 when it has passed.
static DWORD time_left(const PlatTool *t) { return time_until(t->deadline_ms); }

long plat_tool_read(PlatTool *t, char *out, size_t cap) {
    if (!t->out) return 0;
    DWORD want = cap > WIN_READ_REQUEST_MAX ? (DWORD)WIN_READ_REQUEST_MAX : (DWORD)cap;
    for (;;) {
        if (t->exited) {
            // The tool is gone: what its pipe holds now is the rest.
            DWORD avail = 0;
            if (!PeekNamedPipe(t->out, nullptr, 0, nullptr, &avail, nullptr) || avail == 0) return 0;
        }
        OVERLAPPED ov;
        memset(&ov, 0, sizeof ov);
        ov.hEvent = t->event;
        ResetEvent(t->event);
        DWORD got = 0;
        if (ReadFile(t->out, out, want, &got, &ov)) {
            if (got > 0) return (long)got;
            continue;
        }
        if (GetLastError() != ERROR_IO_PENDING) return 0;  // broken pipe: the output has ended
        HANDLE waits[2] = {t->event, t->process};
        DWORD w = WaitForMultipleObjects(t->exited ? 1 : 2, waits, FALSE, time_left(t));
        // The read must be over before `out` is left: cancel it, then
        // take what it may have got in the meantime.
        if (w != WAIT_OBJECT_0) CancelIo(t->out);
        BOOL ok = GetOverlappedResult(t->out, &ov, &got, TRUE);
        if (ok && got > 0) return (long)got;
        if (!ok && GetLastError() == ERROR_BROKEN_PIPE) return 0;
        if (w == WAIT_OBJECT_0) continue;
        if (w == WAIT_OBJECT_0 + 1) {
            t->exited = 1;
            continue;
        }
        return -1;  // the time limit
    }
}

void plat_tool_end(PlatTool *t) {
    t->ended = 1;
    if (t->job) {
        TerminateJobObject(t->job, 1);
    } else {
        TerminateProcess(t->process, 1);
    }
}

int plat_tool_wait(PlatTool *t, long long until_ms) {
    ULONGLONG until = until_ms > 0 ? (ULONGLONG)until_ms : 0;
    if (until > t->deadline_ms) until = t->deadline_ms;
    return WaitForSingleObject(t->process, time_until(until)) == WAIT_OBJECT_0;
}

void plat_tool_leave(PlatTool *t) {
    // Its job has no kill-on-close limit: closing the handles ends nothing.
    free_tool(t);
}

ToolResult plat_tool_finish(PlatTool *t, ToolExit *how) {
    if (WaitForSingleObject(t->process, time_left(t)) != WAIT_OBJECT_0) {
        plat_tool_end(t);
        t->timed_out = 1;
        // Terminated, it goes at once; still it is waited for only a
        // bounded time, and one that is still there then is left.
        WaitForSingleObject(t->process, (DWORD)KILLED_EXIT_WAIT_MS);
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(t->process, &code) || code == STILL_ACTIVE) code = 0;
    int timed_out = t->timed_out;
    int ended = t->ended;
    free_tool(t);
    int killed = timed_out || ended || (code & SYSTEM_ERROR_STATUS_MASK) == SYSTEM_ERROR_STATUS;
    if (how) {
        how->killed = killed;
        how->exited = !killed;
        how->code = killed ? 0 : (unsigned long)code;
    }
    if (timed_out) return TOOL_TIMED_OUT;
    return code == CMD_NOT_FOUND ? TOOL_NOT_FOUND : TOOL_RAN;
}
