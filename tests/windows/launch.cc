// Test helper: starts a program with exactly the environment a case gives
// it, the way a Windows web host starts a CGI program. wine hands every
// Windows process its own USERPROFILE, PATH and more; the launcher replaces
// all of that with the case's variables and nothing else.
//
//   launch.exe <case file>
//
// The case file is a list of NUL-terminated records: the program's path,
// the argument count in decimal, the arguments, then NAME=value entries to
// the end. The launcher's standard handles pass to the program, and its
// exit status is the program's. Failures of its own end with status 125
// and one line on standard error.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const int LAUNCH_FAILED = 125;

static int fail(const char *what) {
    fprintf(stderr, "launch: %s (error %lu)\n", what, (unsigned long)GetLastError());
    return LAUNCH_FAILED;
}

// Appends one argument to line, quoted so that the program's C runtime
// reads it back unchanged: backslashes are doubled only before a quote.
static void append_quoted(char *line, size_t cap, size_t *len, const char *arg) {
    size_t n = *len;
    if (n && n < cap - 1) line[n++] = ' ';
    if (n < cap - 1) line[n++] = '"';
    size_t slashes = 0;
    for (const char *c = arg; *c && n < cap - 4; c++) {
        if (*c == '\\') {
            slashes++;
        } else if (*c == '"') {
            for (size_t i = 0; i < slashes + 1 && n < cap - 4; i++) line[n++] = '\\';
            slashes = 0;
        } else {
            slashes = 0;
        }
        line[n++] = *c;
    }
    for (size_t i = 0; i < slashes && n < cap - 2; i++) line[n++] = '\\';
    if (n < cap - 1) line[n++] = '"';
    line[n] = '\0';
    *len = n;
}

int main(int argc, char **argv) {
    if (argc != 2) return fail("usage: launch.exe <case file>");
    FILE *f = fopen(argv[1], "rb");
    if (!f) return fail("cannot open the case file");
    static char data[4 << 20];
    size_t size = fread(data, 1, sizeof data - 2, f);
    fclose(f);
    data[size] = '\0';
    data[size + 1] = '\0';

    const char *at = data;
    const char *end = data + size;
    const char *program = at;
    at += strlen(at) + 1;
    if (at >= end) return fail("no argument count");
    long count = strtol(at, nullptr, 10);
    at += strlen(at) + 1;

    static char line[32768];
    size_t len = 0;
    line[0] = '\0';
    append_quoted(line, sizeof line, &len, program);
    for (long i = 0; i < count; i++) {
        if (at >= end) return fail("fewer arguments than counted");
        append_quoted(line, sizeof line, &len, at);
        at += strlen(at) + 1;
    }
    // The rest is already a Windows environment block but for its final NUL,
    // which data[size + 1] supplies. An empty environment still needs one
    // empty entry.
    static char empty_env[2] = {0, 0};
    char *env = at < end ? (char *)at : empty_env;

    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(program, line, nullptr, nullptr, TRUE, 0, env, nullptr, &si, &pi))
        return fail("cannot start the program");
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = LAUNCH_FAILED;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return (int)code;
}
