// The node lock's place and name (platform.h), as plain functions of text
// so that the unit tests check them without a process. The lock belongs to
// the pending marker's full path as the system resolves it, never to a
// folder the tools manage: one marker has one lock whatever its spelling,
// and two markers never share one (the name carries a SHA-256 of the
// path). None of these touches the operating system: the platform files
// resolve paths and read the environment, then ask here.
#pragma once

#include <stddef.h>

// Whether a directory is at `path`; ctx is passed through.
typedef int (*LockDirTest)(const char *path, void *ctx);

// The nearest existing directory of the marker at marker_path
// ('/'-separated): its own directory when `is_dir` finds it, else the
// nearest of its parents that it finds, up to "/" for an absolute path and
// "." (the working directory) for a relative one. The marker itself may
// not exist yet (the login tool makes it, and its directories, on its
// first start). Returns 1 with the path in out, or 0 (out empty) when none
// is found or the path does not fit in cap.
int lock_directory(const char *marker_path, LockDirTest is_dir, void *ctx, char *out, size_t cap);

// The key of the marker at marker_path on POSIX: `resolved` (the real
// path of `dir`, what lock_directory found, with every link followed),
// then the rest of the marker's path after `dir`, with empty and "."
// names dropped and each ".." taking away the name before it (never above
// "/"). So every spelling of one file (doubled slashes, "./", "..", a
// link to one of its directories, a relative path) gives one key. Returns
// 0 (out empty) when the key does not fit in cap.
int lock_key_posix(const char *marker_path, const char *dir, const char *resolved, char *out, size_t cap);

// The path to hand to GetFullPathNameW for the marker at marker_path on
// Windows: the path itself, less a \\?\ prefix (\\?\C:\... gives C:\...,
// \\?\UNC\server\share\... gives \\server\share\...), so that the verbatim
// spelling resolves like the others. Returns 0 (out empty) when it does
// not fit in cap.
int lock_windows_input(const char *marker_path, char *out, size_t cap);

// The key of a full Windows path (what GetFullPathNameW made of
// lock_windows_input): '/' read as '\', ASCII letters in lower case
// (file names on Windows ignore case). Returns 0 (out empty) when it does
// not fit in cap.
int lock_key_windows(const char *full_path, char *out, size_t cap);

// The lock's name for a key: "lumivane-node-" and the 64 hexadecimal
// digits of the key's SHA-256. On POSIX it names the lock file in the
// lock folder; on Windows, after "Local\", the mutex (the object namespace
// takes no further '\', and the name has none). Returns 0 (out empty)
// when it does not fit in cap (LOCK_NAME_CAP, limits.h, fits it).
int lock_name(const char *key, char *out, size_t cap);

// The POSIX folder that holds the lock files, candidate by candidate
// (index 0, 1, ...): first "<home>/.plugin_lumivane_login" (home: $HOME,
// when it is an absolute path), which nobody but the user can make or
// take in a home only the user may write to; then
// "<tmp>/plugin_lumivane_login-<uid>" (tmp: $TMPDIR when absolute, else
// /tmp), for a host user such as www-data whose home it cannot write. The
// platform takes the first candidate it can make or finds its own (the
// user's, 0700, not a link, in a folder others cannot write to, or a
// sticky one). Returns 0 (out empty) when there is no candidate of that
// index, or it does not fit in cap.
int lock_folder(int index, const char *home, const char *tmpdir, unsigned long uid, char *out, size_t cap);
