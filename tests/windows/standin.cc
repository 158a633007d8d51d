// Test helper: a stand-in for the login tool or the token tool on Windows.
// The harness copies it to <dir>\bin\<name>.exe and writes beside it
// <name>.replies, which tells it where to log and how to answer:
//
//   line 1   the log file (Windows path); each run appends its arguments,
//            joined by single spaces, as one line
//   line 2   the replies folder, Windows form
//   line 3   the same folder, POSIX form (for the shell bridge below)
//   then records of five lines, the first of which matches:
//            "=" followed by the joined arguments, or "*" for any run
//            the file whose bytes go to standard output
//            the file whose bytes go to standard error
//            the exit status
//            a POSIX shell script to run first, or an empty line
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

int main(int argc, char **argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);

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
    static char log_path[LINE_CAP], win_dir[LINE_CAP], posix_dir[LINE_CAP];
    if (!read_line(cfg, log_path, LINE_CAP) || !read_line(cfg, win_dir, LINE_CAP) ||
        !read_line(cfg, posix_dir, LINE_CAP))
        return fail("replies without a header");
    FILE *log = fopen(log_path, "ab");
    if (!log) return fail("cannot open its log");
    fprintf(log, "%s\n", joined);
    fclose(log);

    static char key[32768 + 2], out_path[LINE_CAP], err_path[LINE_CAP], code[64], script[LINE_CAP];
    while (read_line(cfg, key, sizeof key) && read_line(cfg, out_path, LINE_CAP) &&
           read_line(cfg, err_path, LINE_CAP) && read_line(cfg, code, sizeof code) &&
           read_line(cfg, script, LINE_CAP)) {
        int matches = strcmp(key, "*") == 0 || (key[0] == '=' && strcmp(key + 1, joined) == 0);
        if (!matches) continue;
        fclose(cfg);
        if (script[0] && !run_script(script, win_dir, posix_dir)) return fail("its script did not finish");
        pass_on(out_path, stdout);
        pass_on(err_path, stderr);
        return atoi(code);
    }
    fclose(cfg);
    return fail("no reply matches");
}
