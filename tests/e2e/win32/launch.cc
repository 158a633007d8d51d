// Test helper: starts a program with exactly the environment a case gives
// it, the way a Windows web host starts a CGI program: through
// CreateProcessW, with a Unicode environment block, on a machine whose
// ANSI code page is a real legacy one. wine hands every Windows process
// its own USERPROFILE, PATH and more; the launcher replaces all of that
// with the case's variables and nothing else.
//
//   launch.exe <case file> <code page>
//
// The case file is UTF-8, a list of NUL-terminated records: the program's
// path, the argument count in decimal, the arguments, then NAME=value
// entries to the end. Every text is converted to UTF-16 here, so that the
// program receives the names a Windows host would give it, whatever they
// hold. A record that is not UTF-8 (a case's hostile header bytes) is
// taken as Latin-1, each byte one character, as a web host takes header
// bytes it cannot decode: the program still gets every byte's character. The code page is the ANSI code page (GetACP) the machine must
// have, 1252 or 1251: a run under any other, such as one where every byte
// maps to a character and back, would hide what the case is there to show.
//
// The launcher's standard handles pass to the program, and its exit status
// is the program's. Failures of its own end with status 125 and one line
// on standard error.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

static const int LAUNCH_FAILED = 125;

static int fail(const char *what) {
    fprintf(stderr, "launch: %s (error %lu)\n", what, (unsigned long)GetLastError());
    return LAUNCH_FAILED;
}

// The UTF-16 form of n bytes of UTF-8, or of Latin-1 when they are not
// valid UTF-8.
static void widen(const char *text, size_t n, std::wstring &out) {
    out.clear();
    if (n == 0) return;
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, (int)n, nullptr, 0);
    if (units > 0) {
        out.resize((size_t)units);
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, (int)n, &out[0], units);
        return;
    }
    for (size_t i = 0; i < n; i++) out += (wchar_t)(unsigned char)text[i];
}

// Appends one argument to line, quoted so that the program's C runtime
// reads it back unchanged: backslashes are doubled only before a quote.
static void append_quoted(std::wstring &line, const std::wstring &arg) {
    if (!line.empty()) line += L' ';
    line += L'"';
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            slashes++;
        } else if (c == L'"') {
            line.append(slashes + 1, L'\\');
            slashes = 0;
        } else {
            slashes = 0;
        }
        line += c;
    }
    line.append(slashes, L'\\');
    line += L'"';
}

int main(int argc, char **argv) {
    if (argc != 3) return fail("usage: launch.exe <case file> <code page>");
    UINT expected_acp = (UINT)strtoul(argv[2], nullptr, 10);
    if (GetACP() != expected_acp) {
        fprintf(stderr, "launch: the ANSI code page is %u, not %u (check LC_ALL and LOCPATH)\n", GetACP(),
                expected_acp);
        return LAUNCH_FAILED;
    }
    FILE *f = fopen(argv[1], "rb");
    if (!f) return fail("cannot open the case file");
    std::string data;
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) data.append(chunk, got);
    fclose(f);

    // The records, each ending at its NUL (a last one without a NUL ends
    // at the end of the file).
    size_t at = 0;
    auto next = [&](std::wstring &out) {
        size_t end = data.find('\0', at);
        if (end == std::string::npos) end = data.size();
        widen(data.data() + at, end - at, out);
        at = end + 1;
    };
    std::wstring program, count_text, arg;
    next(program);
    if (at >= data.size()) return fail("no argument count");
    next(count_text);
    long count = wcstol(count_text.c_str(), nullptr, 10);

    std::wstring line;
    append_quoted(line, program);
    for (long i = 0; i < count; i++) {
        if (at >= data.size()) return fail("fewer arguments than counted");
        next(arg);
        append_quoted(line, arg);
    }
    // The environment block: each entry and its NUL, then one more NUL. An
    // empty environment still needs one empty entry.
    std::wstring env, entry;
    while (at < data.size()) {
        next(entry);
        env += entry;
        env += L'\0';
    }
    if (env.empty()) env += L'\0';
    env += L'\0';

    STARTUPINFOW si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, &env[0],
                        nullptr, &si, &pi))
        return fail("cannot start the program");
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = LAUNCH_FAILED;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return (int)code;
}
