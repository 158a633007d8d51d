// Test helper: a stand-in for the login tool or the token tool on Windows.
// The harness copies it to <dir>\bin\<name>.exe and writes beside it
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

static const int STANDIN_FAILED = 124;
static const DWORD SCRIPT_WAIT_MS = 60000;
static const size_t LINE_CAP = 4096;
// The sleeps of e2e::Act (harness.h): LONG_SLEEP_SEC and SHORT_SLEEP_SEC.
static const int LONG_SLEEP_MS = 20000;
static const int SHORT_SLEEP_MS = 3000;
// How "killed" ends: with the status of a crash (an access violation), as a
// process that an exception ends has, instead of an exit code of its own.
static const UINT CRASH_STATUS = 0xC0000005;

static int fail(const char *what) {
    fprintf(stderr, "standin: %s\n", what);
    return STANDIN_FAILED;
}

// Reads one line (without its '\n') into out; 0 at the end of the file.
static int read_line(FILE *f, char *out, size_t cap) {
    if (!fgets(out, (int)cap, f)) return 0;
    size_t n = strlen(out);
    if (n && out[n - 1] == '\n') out[--n] = '\0';
    return 1;
}

// Copies a whole file to an already binary stream; a missing file is empty.
static void pass_on(const char *path, FILE *to) {
    FILE *f = fopen(path, "rb");
    if (!f) return;
    char chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) fwrite(chunk, 1, n, to);
    fclose(f);
    fflush(to);
}

static int run_script(const char *script, const char *win_dir, const char *posix_dir) {
    unsigned long id = GetCurrentProcessId();
    char done_win[LINE_CAP], done_posix[LINE_CAP], line[3 * LINE_CAP];
    snprintf(done_win, sizeof done_win, "%s\\done.%lu", win_dir, id);
    snprintf(done_posix, sizeof done_posix, "%s/done.%lu", posix_dir, id);
    snprintf(line, sizeof line, "sh \"%s\" \"%s\"", script, done_posix);
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA("Z:\\bin\\sh", line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (DWORD waited = 0; GetFileAttributesA(done_win) == INVALID_FILE_ATTRIBUTES; waited += 5) {
        if (waited >= SCRIPT_WAIT_MS) return 0;
        Sleep(5);
    }
    char part[LINE_CAP + 8];
    snprintf(part, sizeof part, "%s.out", done_win);
    pass_on(part, stdout);
    remove(part);
    snprintf(part, sizeof part, "%s.err", done_win);
    pass_on(part, stderr);
    remove(part);
    remove(done_win);
    return 1;
}

// Starts this program again as "--sleep MS [FILE]". With hold_output the
// child gets our standard handles (and so holds our output open);
// otherwise it inherits nothing.
static int start_sleeper(int ms, const char *file, int hold_output) {
    char self[MAX_PATH + 1], line[3 * LINE_CAP];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 0;
    snprintf(line, sizeof line, "\"%s\" --sleep %d%s%s%s", self, ms, file ? " \"" : "", file ? file : "",
             file ? "\"" : "");
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    if (hold_output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
        si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        SetHandleInformation(si.hStdOutput, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(self, line, nullptr, nullptr, hold_output ? TRUE : FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 1;
}

static void touch(const char *path) {
    FILE *f = fopen(path, "wb");
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

// Does what `act` says before the answer; 0 when it failed.
static int act_before(const char *act, const char *log_path, const char *world_dir) {
    char name[LINE_CAP], path[2 * LINE_CAP];
    const char *base = strrchr(log_path, '\\');
    snprintf(name, sizeof name, "%s", base ? base + 1 : log_path);
    char *dot = strrchr(name, '.');
    if (dot) *dot = '\0';  // "login.log" -> "login"
    if (strcmp(act, "read-stdin") == 0) {
        _setmode(_fileno(stdin), _O_BINARY);
        char chunk[4096];
        unsigned long long total = 0;
        size_t got;
        while ((got = fread(chunk, 1, sizeof chunk, stdin)) > 0) total += got;
        printf("{\"ok\":true,\"account\":\"stdin-%llu\"}\n", total);
    } else if (strcmp(act, "list-env") == 0) {
        snprintf(path, sizeof path, "%.*s.env", (int)(strlen(log_path) - 4), log_path);
        FILE *f = fopen(path, "wb");
        if (!f) return 0;
        char *env = GetEnvironmentStringsA();
        for (const char *e = env; e && *e; e += strlen(e) + 1) {
            const char *eq = strchr(e + 1, '=');
            if (eq) fprintf(f, "%.*s\n", (int)(eq - e), e);
        }
        FreeEnvironmentStringsA(env);
        fclose(f);
    } else if (strcmp(act, "nul-flood") == 0) {
        write_nuls(300000000);
    } else if (strcmp(act, "endless-nuls") == 0) {
        write_nuls(-1);
    } else if (strcmp(act, "sleep") == 0) {
        snprintf(path, sizeof path, "%s\\survived-%s-child", world_dir, name);
        if (!start_sleeper(SHORT_SLEEP_MS, path, 0)) return 0;
        Sleep(SHORT_SLEEP_MS);
        snprintf(path, sizeof path, "%s\\survived-%s-tool", world_dir, name);
        touch(path);
    }
    return 1;
}

int main(int argc, char **argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (argc >= 3 && strcmp(argv[1], "--sleep") == 0) {
        Sleep((DWORD)atoi(argv[2]));
        if (argc >= 4) touch(argv[3]);
        return 0;
    }

    char replies[MAX_PATH + 16];
    DWORD n = GetModuleFileNameA(nullptr, replies, MAX_PATH);
    if (n < 4 || n >= MAX_PATH) return fail("cannot find its own path");
    snprintf(replies + n - 4, sizeof replies - (n - 4), ".replies");  // replaces ".exe"

    static char joined[32768];
    size_t len = 0;
    joined[0] = '\0';
    for (int i = 1; i < argc; i++) {
        len += (size_t)snprintf(joined + len, sizeof joined - len, "%s%s", i > 1 ? " " : "", argv[i]);
        if (len >= sizeof joined) return fail("arguments too long");
    }

    FILE *cfg = fopen(replies, "rb");
    if (!cfg) return fail("cannot open its replies");
    static char log_path[LINE_CAP], win_dir[LINE_CAP], posix_dir[LINE_CAP], world_dir[LINE_CAP];
    if (!read_line(cfg, log_path, LINE_CAP) || !read_line(cfg, win_dir, LINE_CAP) ||
        !read_line(cfg, posix_dir, LINE_CAP) || !read_line(cfg, world_dir, LINE_CAP))
        return fail("replies without a header");
    FILE *log = fopen(log_path, "ab");
    if (!log) return fail("cannot open its log");
    fprintf(log, "%s\n", joined);
    fclose(log);

    static char key[32768 + 2], out_path[LINE_CAP], err_path[LINE_CAP], code[64], script[LINE_CAP], act[64];
    while (read_line(cfg, key, sizeof key) && read_line(cfg, out_path, LINE_CAP) &&
           read_line(cfg, err_path, LINE_CAP) && read_line(cfg, code, sizeof code) &&
           read_line(cfg, script, LINE_CAP) && read_line(cfg, act, sizeof act)) {
        int matches = strcmp(key, "*") == 0 || (key[0] == '=' && strcmp(key + 1, joined) == 0);
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
