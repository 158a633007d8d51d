// What differs between running the native program and running the Windows
// .exe under wine. harness.cc does everything else; exactly one target
// file (target_posix.cc or target_win32.cc, side by side here) is linked
// into each test binary.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "harness.h"

namespace e2e {

// The environment every World starts from.
void target_base_env(std::map<std::string, std::string> &env);

// A path of this machine in the form the plugin understands.
std::string target_path(const std::string &host_path);

// Writes the stand-in tool `name` and its replies into w (bin/ and logs/
// exist) and returns the command that the plugin is to run.
std::string target_tool(const World &w, const std::string &name,
                        const std::map<std::string, Reply> &replies, const Reply &other);

// The program, arguments and environment of the process that serves one
// run of the plugin with the world's environment; it is started in w.dir.
void target_process(const World &w, const std::vector<std::string> &args,
                    std::vector<std::string> &argv, std::vector<std::string> &envp);

// Whether a run failed because the target itself could not start a process
// (the plugin or one of its tools), rather than through anything the case
// did: such a run says nothing about the plugin and is run again. Natively
// never; under wine, when wine's own start-up error is on standard error.
bool target_start_failed(const Result &r);

}  // namespace e2e
