// The rules of starting a tool without a shell, as plain functions of text
// so that the unit tests and a fuzz target check them without a process:
// which environment entries reach a tool, where a bare name is found on the
// search path, and how a Windows command line is written. Both platform
// files use them; none of them touches the operating system itself (the
// file test of the search is passed in).
#pragma once

#include <stddef.h>

// 1 when the environment entry "NAME=value" passes to a tool: every entry
// but the request's own (the CGI meta-variables, the server extensions that
// carry the request, what host modules derive from it such as SSL_* and
// OIDC_*, HTTP_*; one table in tool_launch.cc) and the node password
// (BOT_PASSWORD). Names compare without regard to case when
// ignore_case is set (Windows), byte for byte otherwise. An entry without
// '=' passes.
int tool_env_passes(const char *entry, int ignore_case);

// Whether a file at `path` can be run; ctx is passed through.
typedef int (*ToolFileTest)(const char *path, void *ctx);

// How a search path list is read on one platform.
struct ToolSearchRules {
    char list_sep;          // ':' or ';'
    char dir_sep;           // '/' or '\\', put between an entry and the name
    int empty_is_cwd;       // POSIX: an empty entry is the working directory
    const char *extensions; // Windows: PATHEXT-style list (";"-separated), else null
};

// Finds the bare name `name` (no directory part) on the list `search`: for
// each entry in order, the entry joined with the name, then (with
// extensions) the name as given when it has an extension of its own and the
// name with each extension appended. The first candidate that `test`
// accepts is copied into out. Returns 1 when found; 0 when no candidate
// passes (out empty). A candidate that does not fit in cap is skipped.
int tool_search(const char *name, const char *search, const ToolSearchRules *rules, ToolFileTest test,
                void *ctx, char *out, size_t cap);

// 1 when path ends in ".bat" or ".cmd", in any case: such a file runs
// through cmd.exe.
int tool_is_batch(const char *path);

// The command line of a program started directly on Windows: the path in
// double quotes, then each argument written so that the C runtime's
// argument rules read it back unchanged. Returns 0 when the path holds a
// double quote or the line does not fit in cap (out is then empty).
int tool_direct_command_line(const char *path, const char *const *args, int nargs, char *out, size_t cap);

// The command line of a .bat or .cmd file: `"<cmd_exe>" /d /v:off /s /c
// ""<path>" <args>"`. cmd.exe reads '%' and '"' inside the quoted path, so a
// path holding either, or a control byte, is refused; so is an argument
// holding anything but letters, digits and "-_.=/:". Returns 0 when
// refused or when the line does not fit (out is then empty).
int tool_batch_command_line(const char *cmd_exe, const char *path, const char *const *args, int nargs,
                            char *out, size_t cap);
