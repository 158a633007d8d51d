// An in-memory implementation of platform/platform.h for the fake-platform
// tests (tests/fake) and the fuzz targets.
// The environment, the files and the two tools' answers come from tables
// that a target fills before each input; standard output is collected in
// memory; no process is started and no real file is touched. Every heap
// block that the fake hands out (a file text) is sized exactly, so that an
// over-read by the code under test is caught by AddressSanitizer.
//
// fake_reset() empties every table and must start each input.
#pragma once

#include <stddef.h>

#include "platform/platform.h"

#include <string>
#include <vector>

enum FakeEntryKind {
    FAKE_REGULAR,  // a readable file with the given bytes
    FAKE_DIRECTORY,
    FAKE_FIFO,     // exists, but is not a regular file: never read
};

void fake_reset(void);

// value null leaves the variable unset. Values are NUL-terminated.
void fake_setenv(const char *name, const char *value);

void fake_set_entry(const char *path, FakeEntryKind kind, const std::string &bytes);

// The answer for `command args`: TOOL_RAN prints output and exits;
// TOOL_TIMED_OUT prints it, then runs until its deadline (the clock of
// plat_clock_ms moves on to it); TOOL_NOT_STARTED
// cannot be created; TOOL_NOT_FOUND is not there (or exited 127), as is a
// pair with no answer set.
void fake_set_tool(const char *command, const char *args, ToolResult result,
                   const std::string &output);

void fake_set_now(long long now);

// What plat_node_lock answers (NODE_LOCK_HELD after a reset).
void fake_set_node_lock(NodeLock result);
// The marker path of every plat_node_lock call since the reset, in order.
const std::vector<std::string> &fake_node_lock_log(void);
// 1 while the node lock is held.
int fake_node_lock_held(void);

// Everything written to standard output since the reset.
const std::string &fake_stdout(void);

// Every tool started since the reset (captured or discarded), in order, as
// "command args" (the argument words joined by spaces).
const std::vector<std::string> &fake_command_log(void);

// 1 when the entry at path still exists (the cancel action removes one).
int fake_entry_exists(const char *path);
