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

#include <string>
#include <vector>

enum FakeEntryKind {
    FAKE_REGULAR,  // a readable file with the given bytes
    FAKE_DIRECTORY,
    FAKE_FIFO,     // exists, but is not a regular file: never read
};

// What running one (command, args) pair gives.
enum FakeToolResult {
    FAKE_TOOL_NOT_FOUND = -1,  // no such program, or it exited 127
    FAKE_TOOL_NO_START = 0,    // the process cannot be created
    FAKE_TOOL_RAN = 1,
    FAKE_TOOL_TIMED_OUT = 2,   // it prints its output, then runs past its time limit
};

void fake_reset(void);

// value null leaves the variable unset. Values are NUL-terminated.
void fake_setenv(const char *name, const char *value);

void fake_set_entry(const char *path, FakeEntryKind kind, const std::string &bytes);

// The answer for `command args`. A pair with no answer set is a program
// that cannot be found.
void fake_set_tool(const char *command, const char *args, FakeToolResult result,
                   const std::string &output);

void fake_set_now(long long now);

// Everything written to standard output since the reset.
const std::string &fake_stdout(void);

// Every tool started since the reset (captured or discarded), in order, as
// "command args" (the argument words joined by spaces).
const std::vector<std::string> &fake_command_log(void);

// 1 when the entry at path still exists (the cancel action removes one).
int fake_entry_exists(const char *path);
