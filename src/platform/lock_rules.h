// Where the node lock lives (platform.h), as plain functions of text so
// that the unit tests check them without a process: the directory that
// POSIX locks, and the name of the mutex that Windows creates. Neither
// touches the operating system (the directory test is passed in).
#pragma once

#include <stddef.h>

// Whether a directory is at `path`; ctx is passed through.
typedef int (*LockDirTest)(const char *path, void *ctx);

// The directory to lock for the marker at marker_path ('/'-separated): the
// marker's own directory when `is_dir` finds it, else the nearest of its
// parents that it finds, up to "/" for an absolute path and "." (the
// working directory) for a relative one. Returns 1 with the path in out, or
// 0 (out empty) when none is found or the path does not fit in cap.
int lock_directory(const char *marker_path, LockDirTest is_dir, void *ctx, char *out, size_t cap);

// The Windows mutex name for the marker at marker_path:
// "Local\lumivane-node-" and the 16 hexadecimal digits of a 64-bit FNV-1a
// hash of the path with ASCII letters in lower case and '/' as '\', so
// that every spelling Windows reads as the same file gives the same name.
// The object namespace takes no '\' after the "Local\" part: the hash has
// none. Returns 0 (out empty) when the name does not fit in cap.
int lock_mutex_name(const char *marker_path, char *out, size_t cap);
