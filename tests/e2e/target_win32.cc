// The Windows target: the .exe runs under wine through launch.exe
// (win32/launch.cc), which gives it exactly the world's environment (wine
// would otherwise add its own USERPROFILE, PATH and more) as a Windows host
// does, in UTF-16, on a machine with the world's ANSI code page. Stand-in
// tools are copies of standin.exe (win32/standin.cc) with a replies file
// beside them, and every path the plugin is given is in Windows form
// (Z:\...), so that nothing relies on wine accepting POSIX paths.
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "target.h"

extern char **environ;

namespace e2e {

const bool WINDOWS_TARGET = true;
const int NOT_FOUND_STATUS = 9009;
const char NATIVE_SEP = '\\';

void target_base_env(std::map<std::string, std::string> &env) {
    // What a Windows web host passes to every CGI program.
    env["PATH"] = "C:\\windows\\system32;C:\\windows";
    env["SystemRoot"] = "C:\\windows";
    env["COMSPEC"] = "C:\\windows\\system32\\cmd.exe";
}

std::string target_path(const std::string &host_path) {
    std::string p = "Z:" + host_path;
    for (char &c : p) {
        if (c == '/') c = '\\';
    }
    return p;
}

// wine's loader, when it cannot set up a new process's address space (seen
// under load without wine64-preloader: "err:virtual:virtual_alloc_first_teb
// ... failed to map the shared user data"), ends that process with status 1
// and no output. Every process the plugin starts shares its standard error,
// so the line shows there whichever process it was.
bool target_start_failed(const Result &r) {
    return r.err.find("virtual_alloc_first_teb") != std::string::npos ||
           r.err.find("failed to map the shared user data") != std::string::npos;
}

static std::string file_bytes(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string target_tool(const World &w, const std::string &name,
                        const std::map<std::string, Reply> &replies, const Reply &other) {
    static const std::string standin = file_bytes(WINE_STANDIN);
    std::string replies_dir = w.path("tool-replies/" + name);
    std::string cfg = target_path(w.path("logs/" + name + ".log")) + "\n" + target_path(replies_dir) +
                      "\n" + replies_dir + "\n" + target_path(w.dir) + "\n";
    auto record = [&](const std::string &key, const Reply &r, int index) {
        std::string base = replies_dir + "/" + std::to_string(index);
        w.write(base + ".out", r.out);
        w.write(base + ".err", r.err);
        std::string script;
        if (!r.before.empty()) {
            // $1 names the "done" file the stand-in waits for.
            w.write(base + ".sh", "( cd " + sh_quote(w.dir) + " && " + r.before + "\n) >\"$1.out\" 2>\"$1.err\"\n" +
                                      ": >\"$1.tmp\" && mv \"$1.tmp\" \"$1\"\n");
            script = base + ".sh";
        }
        static const char *const ACTS[] = {"answer", "leave-child", "read-stdin", "list-env",
                                           "nul-flood", "endless-nuls", "sleep", "killed", "stay",
                                           // POSIX-only acts: the stand-in has no such act
                                           "save-later", "join-plugin-group"};
        cfg += key + "\n" + target_path(base + ".out") + "\n" + target_path(base + ".err") + "\n" +
               std::to_string(r.exit_code) + "\n" + script + "\n" + ACTS[(int)r.act] + "\n";
    };
    int index = 0;
    for (const auto &kv : replies) record("=" + kv.first, kv.second, index++);
    record("*", other, index);
    std::string exe = w.path(w.bin_dir + "/" + name + ".exe");
    w.write(exe, standin);
    w.write(w.path(w.bin_dir + "/" + name + ".replies"), cfg);
    return target_path(exe);
}

// The variables wine itself needs from this machine; nothing else of the
// test runner's environment reaches the plugin.
static const char *const WINE_VARIABLES[] = {"HOME", "USER", "LOGNAME", "PATH", "TMPDIR", "WINEPREFIX",
                                             "WINEDEBUG", "WINEDLLOVERRIDES", "WINESERVER", "WINELOADER"};

// The locale wine runs in for each ANSI code page. wine takes the Windows
// system locale, and with it the code page, from the language of LC_ALL,
// and the encoding of the host's file names from its character set: a
// UTF-8 locale of the right language gives both (a CP1252 locale would
// make wine read this machine's UTF-8 file names as 1252). The locales
// are built into WINE_LOCPATH by scripts/test-windows.sh; without them
// wine falls back to ASCII file names.
struct WineLocale {
    int code_page;
    const char *name;
};
static const WineLocale WINE_LOCALES[] = {{1252, "en_US.UTF-8"}, {1251, "ru_RU.UTF-8"}};

void target_process(const World &w, const std::vector<std::string> &args,
                    std::vector<std::string> &argv, std::vector<std::string> &envp) {
    const char *locale = nullptr;
    for (const auto &l : WINE_LOCALES) {
        if (l.code_page == w.code_page) locale = l.name;
    }
    if (!locale) throw std::runtime_error("no wine locale for code page " + std::to_string(w.code_page));

    std::string launch_case = target_path(PLUGIN_EXE) + '\0' + std::to_string(args.size()) + '\0';
    for (const auto &a : args) launch_case += a + '\0';
    for (const auto &kv : w.env) launch_case += kv.first + "=" + kv.second + '\0';
    // One case file per run: runs of one world may overlap.
    static int runs = 0;
    std::string case_file = "wine-launch-" + std::to_string(runs++) + ".case";
    w.write(case_file, launch_case);

    argv = {WINE_PROGRAM, WINE_LAUNCHER, target_path(w.path(case_file)), std::to_string(w.code_page)};
    for (const char *name : WINE_VARIABLES) {
        const char *v = getenv(name);
        if (v) envp.push_back(std::string(name) + "=" + v);
    }
    envp.push_back(std::string("LOCPATH=") + WINE_LOCPATH);
    envp.push_back(std::string("LC_ALL=") + locale);
}

}  // namespace e2e
