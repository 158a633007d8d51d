// What the program needs from the operating system, and nothing else.
// Each platform implements it in three files chosen by the build: standard
// output, the environment, files and the wall clock (platform_posix.cc,
// platform_win32.cc); the tools and the millisecond clock of their
// deadlines (subprocess_posix.cc, subprocess_win32.cc); the node lock
// (node_lock_posix.cc, node_lock_win32.cc). The tests link an in-memory
// stand-in instead (tests/support/platform_fake.cc). The logic above this
// header never tests the platform itself. No function here reports errors
// on stderr or exits.
#pragma once

#include <stddef.h>

// The path separator used when composing default paths.
extern const char PLAT_SEP;

// Called once before anything is written to standard output (binary mode
// on platforms that would otherwise translate line ends).
void plat_init_stdout(void);

// Writes n bytes to standard output. Errors are not detected.
void plat_write_stdout(const void *data, size_t n);

// Every text passed in or handed out here is UTF-8 (on POSIX: the bytes
// as the system holds them); a platform that speaks another encoding to
// its system converts at each call.

// Environment lookup: the value, or null when the variable is not set.
// The program never changes its environment, so a value stays valid for
// the life of the process.
const char *plat_getenv(const char *name);

// On POSIX, the last home-directory source (HOME) when the Windows-style
// variables give none; null on platforms that have no such fallback.
const char *plat_home_fallback(void);

// Index of the separator that ends the directory part of a path, or -1.
long plat_last_separator(const char *path);

// Existence test: 1 when anything (a directory too) is at path.
int plat_exists(const char *path);

// Removes the file at path when it is not a directory; the result is 1 on
// removal, else 0.
int plat_remove_file(const char *path);

// Reads a whole regular file of at most max_bytes into a fresh heap block
// followed by one NUL (the caller frees it); *len gets the byte count.
// Null for a missing, unreadable, non-regular or over-long file. Never
// blocks on a FIFO or device.
char *plat_read_file(const char *path, unsigned long long max_bytes, size_t *len);

// Whole seconds since the Unix epoch.
long long plat_now(void);

// Milliseconds on a clock that only moves forward (not the wall clock):
// the clock of every deadline below.
long long plat_clock_ms(void);

// Called once, before any tool runs, so that the program can
// read how its tools end whatever the host left it: on POSIX SIGCHLD goes
// back to its default (a host that ignores it has the system reap every
// child, and a tool's exit status is lost; a tool would inherit it too).
// Nothing to do on Windows.
void plat_init_tools(void);

// Tools. A tool is one program started directly, never through a shell:
// `command` is a path when it holds a directory part, else a name searched
// on PATH (with PATHEXT on Windows); its arguments are exactly args. It
// gets the plugin's environment without the request's variables and the
// node password (tool_launch.h), standard input and standard error on the
// null device, and standard output piped back or on the null device. It
// runs in a process group (POSIX) or job (Windows) of its own, so that it
// can be ended with everything it started, and it is bounded in time: at
// `deadline_ms` (plat_clock_ms) it is ended, the tool process itself
// always, even when it has moved into another process group (the
// plugin's own included), and its group or job. Nothing else ends it: a
// tool the plugin has stopped waiting for outlives the plugin.

// How one run of a tool went: the result of plat_tool_start and
// plat_tool_finish, and of every caller above them (run_capture, the
// actions). A positive result means that the tool is there.
enum ToolResult {
    TOOL_NOT_FOUND = -1,   // no such program, or it exited with the shell's not-found status
    TOOL_NOT_STARTED = 0,  // no command, or any other failure to start it
    TOOL_RAN = 1,          // it ran, whatever its exit code
    TOOL_TIMED_OUT = 2,    // it ran past its deadline and was ended (or never started: runner.h)
};

// A started tool; released by plat_tool_finish or plat_tool_leave, and
// only there.
struct PlatTool;

// Starts the tool. On TOOL_RAN *tool is set; on any other result
// nothing runs and *tool is null. capture 1 pipes standard output back.
ToolResult plat_tool_start(const char *command, const char *const *args, int nargs, int capture, long long deadline_ms,
                    PlatTool **tool);

// Reads at most cap bytes of a capturing tool's output into out (a plain
// block read, not terminated). Waits until bytes come, the output ends, or
// the tool itself has exited and its pipe holds nothing more for now (a
// child it left behind is not waited for). Returns the count, 0 at the end,
// -1 when the deadline passed first.
long plat_tool_read(PlatTool *tool, char *out, size_t cap);

// Ends the tool and everything it started, at once.
void plat_tool_end(PlatTool *tool);

// Waits for the tool itself to exit, until `until_ms` (plat_clock_ms) and
// never past its deadline. 1 when it has exited (plat_tool_finish then
// returns at once), 0 when it still runs.
int plat_tool_wait(PlatTool *tool, long long until_ms);

// Releases a tool that still runs without ending it or waiting for it; it
// goes on by itself, after the plugin's own exit too.
void plat_tool_leave(PlatTool *tool);

// How a tool came to its end, as far as the plugin saw it. With neither
// flag set the tool was still running when it was last seen (a tool
// left running).
struct ToolExit {
    int exited;            // it exited by itself, with exit status `code`
    int killed;            // it did not exit by itself but was ended from outside,
                           // by whoever did it (plat_tool_end too): by a signal on
                           // POSIX; on Windows by an unhandled exception or Ctrl-C,
                           // whose exit status is a system error status (0xC000xxxx)
    unsigned long code;    // its exit status when exited, else 0
};

// Waits for the tool itself to exit, at most until its deadline (then
// ends it, the tool process itself and everything it started, and waits
// a short bounded time for it to go), and releases it. Returns
// TOOL_NOT_FOUND for the shell's not-found exit status (127; 9009 on
// Windows), TOOL_TIMED_OUT when the deadline ended it, else TOOL_RAN.
// *how (when how is not null) tells how it ended.
ToolResult plat_tool_finish(PlatTool *tool, ToolExit *how);

// The node lock: start, poll, cancel and refresh hold it, so that one of
// them at a time runs on a node and a flow (or a token tool that rotates
// its refresh token) never interleaves with another. It belongs to the
// pending marker's full path as the system resolves it, whatever its
// spelling, and only the node's own user can take it: on POSIX an
// exclusive flock on a 0600 lock file in a 0700 folder of the program's
// own; on Windows a named mutex that only the user may open
// (lock_rules.h, node_lock_posix.cc, node_lock_win32.cc). The system
// drops it when the process ends, however it ends; no tool inherits it.
enum NodeLock {
    NODE_LOCK_HELD,
    NODE_LOCK_TIMED_OUT,    // another request held it until deadline_ms
    NODE_LOCK_UNAVAILABLE,  // it cannot be had here (no folder or mutex of the user's own)
};

// Waits for the node lock of the marker at marker_path until deadline_ms
// (plat_clock_ms). One lock at a time per process.
NodeLock plat_node_lock(const char *marker_path, long long deadline_ms);
// Lets the lock go; nothing when it is not held.
void plat_node_unlock(void);
