// Where the sign-in files lie, and how a file is read whole. Every
// location prefers an environment variable, then a place under the home
// directory, then a bare name in the working directory.
//
// A path is composed into a PATH_CAP array and is never cut: a location
// whose path would not fit in PATH_CAP - 1 bytes names no file (its
// function returns 0 and leaves out empty), because a cut path names some
// other file. Nothing is read, tested or removed for such a location.
#pragma once

#include <stddef.h>

// The home directory, from the first source that gives one whole:
// USERPROFILE; HOMEDRIVE joined with HOMEPATH; the platform's fallback
// (HOME on POSIX). A source that is unset, empty, or longer than
// HOME_CAP - 1 bytes (the join counted whole) is passed over, never cut.
// Null when none is known. The text lives in one static array that every
// call rewrites: use it at once.
const char *home_dir(void);

// The whole file as a heap text (caller frees) with a NUL after its bytes;
// null for an empty path, a missing or non-regular file, or one over
// FILE_MAX_BYTES. The text ends at its first NUL for every reader.
char *read_file(const char *path);

// Each fills out (PATH_CAP bytes) and returns 1, or returns 0 with out
// empty when the location names no file.
//
// The credentials path.
int creds_path(char *out);
// The fallback token path; 0 also when the fallback may not be tried at
// all (LUMIVANE_CREDS_PATH set, even empty, or no home known).
int fallback_token_path(char *out);
// The pending marker path.
int pending_path(char *out);
// The profile directory.
int profile_dir(char *out);
// The profile marker path: the profile directory, a separator, the marker
// name; 0 when that does not fit.
int profile_marker_path(char *out);
