// Test helper: a stand-in for the login tool or the token tool on Windows.
// The harness copies it to <dir>\<bin dir>\<name>.exe and writes beside it
// <name>.replies, which tells it where to log and how to answer:
//
//   line 1   the log file (Windows path); each run appends its arguments,
//            joined by single spaces, as one line
//   line 2   the replies folder, Windows form
//   line 3   the same folder, POSIX form (for the shell bridge below)
//   line 4   the case's directory (Windows path)
//   then records of six lines, the first of which matches:
//            "=" followed by the joined arguments, or "*" for any run
//            the file whose bytes go to standard output
//            the file whose bytes go to standard error
//            the exit status
//            a POSIX shell script to run first, or an empty line
//            what it does besides answering (e2e::Act): answer, leave-child,
//            read-stdin, list-env, nul-flood, endless-nuls, sleep, killed, stay
//
// Every text is UTF-8 (the replies file, the log, the environment lists it
// writes) and every system call is a wide one, so that a stand-in placed
// under a name that is not ASCII finds itself and its files whatever the
// machine's code page, and reports its environment as it received it.
//
// It also serves as its own child: "--sleep MS [FILE]" sleeps, then
// creates FILE when given.
//
// The script is how a case lets a tool change files as a run goes on (a
// login that writes the credentials file, a cancel that removes the
// marker). It runs through wine's bridge to the host's /bin/sh, which
// does not wait for it, so the script ends by creating a "done" file that
// the stand-in waits for; its output is passed on first, as a shell
// stand-in's would be.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

static const int STANDIN_FAILED = 124;
static const DWORD SCRIPT_WAIT_MS = 60000;
static const size_t LINE_CAP = 4096;
// The longest path the stand-in takes for its own (a \\?\ path's limit).
static const DWORD SELF_PATH_CAP = 32768;
// The sleeps of e2e::Act (harness.h): LONG_SLEEP_SEC and SHORT_SLEEP_SEC.
static const int LONG_SLEEP_MS = 20000;
static const int SHORT_SLEEP_MS = 10000;
// How "killed" ends: with the status of a crash (an access violation), as a
// process that an exception ends has, instead of an exit code of its own.
static const UINT CRASH_STATUS = 0xC0000005;

static int fail(const char *what) {
    fprintf(stderr, "standin: %s\n", what);
    return STANDIN_FAILED;
}

static std::wstring wide(const std::string &text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring out((size_t)n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &out[0], n);
    return out;
}

static std::string utf8(const wchar_t *text, size_t n) {
    if (n == 0) return std::string();
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, (int)n, nullptr, 0, nullptr, nullptr);
    std::string out((size_t)bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, (int)n, &out[0], bytes, nullptr, nullptr);
    return out;
}

static FILE *open_file(const std::string &path, const wchar_t *mode) { return _wfopen(wide(path).c_str(), mode); }

static std::wstring own_path(void) {
    std::wstring self(SELF_PATH_CAP, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, &self[0], SELF_PATH_CAP);
    self.resize(n < SELF_PATH_CAP ? n : 0);
    return self;
}

// Reads one line (without its '\n') into out; 0 at the end of the file.
static int read_line(FILE *f, char *out, size_t cap) {
    if (!fgets(out, (int)cap, f)) return 0;
    size_t n = strlen(out);
    if (n && out[n - 1] == '\n') out[--n] = '\0';
    return 1;
}

// Copies a whole file to an already binary stream; a missing file is empty.
static void pass_on(const std::string &path, FILE *to) {
    FILE *f = open_file(path, L"rb");
    if (!f) return;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) fwrite(chunk, 1, n, to);
    fclose(f);
    fflush(to);
}

static int start(const std::wstring &app, std::wstring line, BOOL inherit, STARTUPINFOW *si) {
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(app.c_str(), &line[0], nullptr, nullptr, inherit, 0, nullptr, nullptr, si, &pi)) return 0;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 1;
}

static int run_script(const char *script, const char *win_dir, const char *posix_dir) {
    std::string id = std::to_string(GetCurrentProcessId());
    std::string done_win = std::string(win_dir) + "\\done." + id;
    std::string done_posix = std::string(posix_dir) + "/done." + id;
    STARTUPINFOW si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (!start(L"Z:\\bin\\sh", wide("sh \"" + std::string(script) + "\" \"" + done_posix + "\""), FALSE, &si))
        return 0;
    std::wstring done = wide(done_win);
    for (DWORD waited = 0; GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 5) {
        if (waited >= SCRIPT_WAIT_MS) return 0;
        Sleep(5);
    }
    pass_on(done_win + ".out", stdout);
    DeleteFileW(wide(done_win + ".out").c_str());
    pass_on(done_win + ".err", stderr);
    DeleteFileW(wide(done_win + ".err").c_str());
    DeleteFileW(done.c_str());
    return 1;
}

// Starts this program again as "--sleep MS [FILE]". With hold_output the
// child gets our standard handles (and so holds our output open);
// otherwise it inherits nothing.
static int start_sleeper(int ms, const std::string *file, int hold_output) {
    std::wstring self = own_path();
    if (self.empty()) return 0;
    std::wstring line = L"\"" + self + L"\" --sleep " + std::to_wstring(ms);
    if (file) line += L" \"" + wide(*file) + L"\"";
    STARTUPINFOW si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (hold_output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        SetHandleInformation(si.hStdOutput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    return start(self, line, hold_output ? TRUE : FALSE, &si);
}

static void touch(const std::wstring &path) {
    FILE *f = _wfopen(path.c_str(), L"wb");
    if (f) fclose(f);
}

// Writes `count` NUL bytes (count < 0: without end) until a write fails.
static void write_nuls(long long count) {
    static char zeros[65536];
    while (count != 0) {
        size_t n = (count < 0 || count > (long long)sizeof zeros) ? sizeof zeros : (size_t)count;
        if (fwrite(zeros, 1, n, stdout) != n) return;
        if (count > 0) count -= (long long)n;
    }
    fflush(stdout);
}

// The environment as the stand-in received it: its names, one a line, to
// <log without ".log">.env, and its whole entries (NAME=value) to .vars.
static int list_environment(const std::string &log_path) {
    std::string base = log_path.substr(0, log_path.size() - 4);
    FILE *names = open_file(base + ".env", L"wb");
    FILE *vars = open_file(base + ".vars", L"wb");
    wchar_t *env = GetEnvironmentStringsW();
    int ok = names && vars && env;
    for (const wchar_t *e = env; ok && *e; e += wcslen(e) + 1) {
        std::string entry = utf8(e, wcslen(e));
        fprintf(vars, "%s\n", entry.c_str());
        size_t eq = entry.find('=', 1);
        if (eq != std::string::npos) fprintf(names, "%s\n", entry.substr(0, eq).c_str());
    }
    if (env) FreeEnvironmentStringsW(env);
    if (names) fclose(names);
    if (vars) fclose(vars);
    return ok;
}

// Does what `act` says before the answer; 0 when it failed.
static int act_before(const char *act, const std::string &log_path, const std::string &world_dir) {
    size_t slash = log_path.rfind('\\');
    std::string name = log_path.substr(slash == std::string::npos ? 0 : slash + 1);
    name = name.substr(0, name.rfind('.'));  // "login.log" -> "login"
    if (strcmp(act, "read-stdin") == 0) {
        _setmode(_fileno(stdin), _O_BINARY);
        char chunk[4096];
        unsigned long long total = 0;
        size_t got;
        while ((got = fread(chunk, 1, sizeof chunk, stdin)) > 0) total += got;
        printf("{\"ok\":true,\"account\":\"stdin-%llu\"}\n", total);
    } else if (strcmp(act, "list-env") == 0) {
        return list_environment(log_path);
    } else if (strcmp(act, "nul-flood") == 0) {
        write_nuls(300000000);
    } else if (strcmp(act, "endless-nuls") == 0) {
        write_nuls(-1);
    } else if (strcmp(act, "sleep") == 0) {
        std::string child = world_dir + "\\survived-" + name + "-child";
        if (!start_sleeper(SHORT_SLEEP_MS, &child, 0)) return 0;
        Sleep(SHORT_SLEEP_MS);
        touch(wide(world_dir + "\\survived-" + name + "-tool"));
    }
    return 1;
}

// wmain (-municode): the arguments in UTF-16, read by the C runtime
// without loading any further DLL.
int wmain(int argc, wchar_t **argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (argc >= 3 && wcscmp(argv[1], L"--sleep") == 0) {
        Sleep((DWORD)_wtoi(argv[2]));
        if (argc >= 4) touch(argv[3]);
        return 0;
    }

    std::wstring replies = own_path();
    if (replies.size() < 4) return fail("cannot find its own path");
    replies.replace(replies.size() - 4, 4, L".replies");  // replaces ".exe"

    std::string joined;
    for (int i = 1; i < argc; i++) joined += (i > 1 ? " " : "") + utf8(argv[i], wcslen(argv[i]));

    FILE *cfg = _wfopen(replies.c_str(), L"rb");
    if (!cfg) return fail("cannot open its replies");
    static char log_path[LINE_CAP], win_dir[LINE_CAP], posix_dir[LINE_CAP], world_dir[LINE_CAP];
    if (!read_line(cfg, log_path, LINE_CAP) || !read_line(cfg, win_dir, LINE_CAP) ||
        !read_line(cfg, posix_dir, LINE_CAP) || !read_line(cfg, world_dir, LINE_CAP))
        return fail("replies without a header");
    FILE *log = open_file(log_path, L"ab");
    if (!log) return fail("cannot open its log");
    fprintf(log, "%s\n", joined.c_str());
    fclose(log);

    static char key[32768 + 2], out_path[LINE_CAP], err_path[LINE_CAP], code[64], script[LINE_CAP], act[64];
    while (read_line(cfg, key, sizeof key) && read_line(cfg, out_path, LINE_CAP) &&
           read_line(cfg, err_path, LINE_CAP) && read_line(cfg, code, sizeof code) &&
           read_line(cfg, script, LINE_CAP) && read_line(cfg, act, sizeof act)) {
        int matches = strcmp(key, "*") == 0 || (key[0] == '=' && joined == key + 1);
        if (!matches) continue;
        fclose(cfg);
        if (script[0] && !run_script(script, win_dir, posix_dir)) return fail("its script did not finish");
        if (!act_before(act, log_path, world_dir)) return fail("its act failed");
        pass_on(out_path, stdout);
        pass_on(err_path, stderr);
        if (strcmp(act, "leave-child") == 0 && !start_sleeper(LONG_SLEEP_MS, nullptr, 1))
            return fail("cannot leave a child");
        if (strcmp(act, "killed") == 0) TerminateProcess(GetCurrentProcess(), CRASH_STATUS);
        if (strcmp(act, "stay") == 0) {
            fclose(stdout);  // the end of its output, and the handle with it
            Sleep(LONG_SLEEP_MS);
        }
        return atoi(code);
    }
    fclose(cfg);
    return fail("no reply matches");
}
