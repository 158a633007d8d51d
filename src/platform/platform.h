// What the program needs from the operating system, and nothing else.
// One implementation file per platform (platform_posix.cc, platform_win32.cc)
// is chosen by the build; the logic above this header never tests the
// platform itself. No function here reports errors on stderr or exits.
#pragma once

#include <stddef.h>

// The path separator used when composing default paths.
extern const char PLAT_SEP;

// Called once before anything is written to standard output (binary mode
// on platforms that would otherwise translate line ends).
void plat_init_stdout(void);

// Writes n bytes to standard output. Errors are not detected.
void plat_write_stdout(const void *data, size_t n);

// Environment lookup: the value, or null when the variable is not set.
const char *plat_getenv(const char *name);

// Reads one of the home-directory variables (USERPROFILE, HOMEDRIVE,
// HOMEPATH) into out. Returns 1 when it is set (out then holds at most
// cap - 1 bytes of it, NUL-terminated) and the value's full length in
// *full_len; 0 when unset, out empty.
int plat_home_var(const char *name, char *out, size_t cap, size_t *full_len);

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

// Compares n bytes without regard to the case of ASCII letters; 0 if equal.
int plat_strnicmp(const char *a, const char *b, size_t n);

// Composes the command line that runs `command` (one word, never
// interpreted) with `args` (unquoted options) and standard error
// discarded. Returns 0 when the command cannot be written safely as one
// word within QUOTED_COMMAND_MAX characters; out is then empty.
int plat_command_line(const char *command, const char *args, char *out, size_t cap);

// A command running with its standard output piped back to us.
struct PlatPipe;

// Starts cmdline through the command interpreter; null if it cannot.
PlatPipe *plat_popen(const char *cmdline);

// Reads at most cap - 1 bytes, stopping after a line feed, into out and
// NUL-terminates it. Returns the number of bytes read; 0 at the end.
size_t plat_pipe_read(PlatPipe *p, char *out, size_t cap);

// Closes the pipe and waits for the interpreter. Returns -1 when the
// interpreter reported the command as not found, else 1.
int plat_pclose(PlatPipe *p);

// A command started with its standard output discarded, waited for later.
struct PlatProcess {
    long long handle;  // pid or process handle; 0 when not started
};

// Starts cmdline through the command interpreter without waiting, its
// standard output sent to the null device. Returns 1 when started.
int plat_spawn_discard(const char *cmdline, PlatProcess *p);

// Waits for a process from plat_spawn_discard. Returns -1 when the
// interpreter reported the command as not found, else 1.
int plat_wait(PlatProcess *p);
