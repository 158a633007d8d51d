// The native target: the plugin is executed directly with the world's
// environment, and stand-in tools are POSIX shell scripts.
#include <sys/stat.h>

#include "target.h"

namespace e2e {

const bool WINDOWS_TARGET = false;
const int NOT_FOUND_STATUS = 127;
const char NATIVE_SEP = '/';

void target_base_env(std::map<std::string, std::string> &env) { env["PATH"] = "/usr/bin:/bin"; }

std::string target_path(const std::string &host_path) { return host_path; }

bool target_start_failed(const Result &) { return false; }

std::string target_tool(const World &w, const std::string &name,
                        const std::map<std::string, Reply> &replies, const Reply &other) {
    std::string replies_dir = w.path("tool-replies/" + name);
    std::string script = "#!/bin/sh\n";
    script += "printf '%s\\n' \"$*\" >> " + sh_quote(w.path("logs/" + name + ".log")) + "\n";
    auto act = [&](const Reply &r, int index) {
        std::string base = replies_dir + "/" + std::to_string(index);
        w.write(base + ".out", r.out);
        w.write(base + ".err", r.err);
        std::string body;
        if (!r.before.empty()) body += "(cd " + sh_quote(w.dir) + " && " + r.before + ")\n";
        std::string survived = sh_quote(w.path("survived-" + name));
        switch (r.act) {
            case Act::ANSWER:
            case Act::LEAVE_CHILD:
            case Act::KILLED:
            case Act::STAY:
                break;
            case Act::READ_STDIN:
                body += "n=$(cat | wc -c | tr -d ' ')\nprintf '{\"ok\":true,\"account\":\"stdin-%s\"}\\n' \"$n\"\n";
                break;
            case Act::LIST_ENV: {
                std::string vars = sh_quote(w.path("logs/" + name + ".vars"));
                body += "env > " + vars + "\n";
                body += "sed -n 's/^\\([A-Za-z_][A-Za-z0-9_]*\\)=.*/\\1/p' " + vars + " > " +
                        sh_quote(w.path("logs/" + name + ".env")) + "\n";
                break;
            }
            case Act::NUL_FLOOD:
                body += "head -c " + std::to_string(FLOOD_BYTES) + " /dev/zero\n";
                break;
            case Act::ENDLESS_NULS:
                body += "cat /dev/zero\n";
                break;
            case Act::JOIN_PLUGIN_GROUP:
                // exec: the tool process itself moves, not a child of it.
                body += "exec perl -MPOSIX -e 'POSIX::setpgid(0, getpgrp(getppid())) or exit 9; sleep " +
                        std::to_string(SHORT_SLEEP_SEC) + "; open(my $f, \">\", $ARGV[0]) or exit 8' " + survived +
                        "-tool\n";
                break;
            case Act::SAVE_LATER:
                break;
            case Act::SLEEP: {
                std::string s = std::to_string(SHORT_SLEEP_SEC);
                body += "(sleep " + s + "; : > " + survived + "-child) &\nsleep " + s + "; : > " + survived + "-tool\n";
                break;
            }
        }
        body += "cat " + sh_quote(base + ".out") + "\n";
        body += "cat " + sh_quote(base + ".err") + " >&2\n";
        if (r.act == Act::KILLED) body += "kill -KILL $$\n";
        if (r.act == Act::STAY) body += "exec >&-\nexec sleep " + std::to_string(LONG_SLEEP_SEC) + "\n";
        if (r.act == Act::SAVE_LATER) {
            body += "exec >&-\nsleep " + std::to_string(SHORT_SLEEP_SEC) + "\n: > " +
                    sh_quote(w.path("survived-" + name)) + "-tool\n";
        }
        if (r.act == Act::LEAVE_CHILD) {
            body += "sleep " + std::to_string(LONG_SLEEP_SEC) + " &\necho $! >> " +
                    sh_quote(w.path("logs/" + name + ".bg")) + "\n";
        }
        body += "exit " + std::to_string(r.exit_code) + "\n";
        return body;
    };
    script += "case \"$*\" in\n";
    int index = 0;
    for (const auto &kv : replies) {
        script += sh_quote(kv.first) + ")\n" + act(kv.second, index++) + ";;\n";
    }
    script += "*)\n" + act(other, index) + ";;\nesac\n";
    std::string tool_path = w.path(w.bin_dir + "/" + name);
    w.write(tool_path, script);
    chmod(tool_path.c_str(), 0755);
    return tool_path;
}

void target_process(const World &w, const std::vector<std::string> &args,
                    std::vector<std::string> &argv, std::vector<std::string> &envp) {
    argv.push_back(PLUGIN_EXE);
    for (const auto &a : args) argv.push_back(a);
    for (const auto &kv : w.env) envp.push_back(kv.first + "=" + kv.second);
}

}  // namespace e2e
