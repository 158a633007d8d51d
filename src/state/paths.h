// Where the sign-in files lie, and how a file is read whole. Every
// location prefers an environment variable, then a place under the home
// directory, then a bare name in the working directory. Every path is
// composed into a PATH_CAP array and cut at PATH_CAP - 1 bytes.
#pragma once

#include <stddef.h>

// The home directory: USERPROFILE (1 to 511 bytes), else HOMEDRIVE joined
// with HOMEPATH (cut to 511 bytes), else the platform's fallback (HOME on
// POSIX). Null when none is known. The text lives in one static array that
// every call rewrites: use it at once.
const char *home_dir(void);

// The whole file as a heap text (caller frees) with a NUL after its bytes;
// null for an empty path, a missing or non-regular file, or one over
// FILE_MAX_BYTES. The text ends at its first NUL for every reader.
char *read_file(const char *path);

// out (PATH_CAP bytes) gets the credentials path.
void creds_path(char *out);
// out gets the fallback token path and 1 is returned, when the fallback
// may be tried at all (LUMIVANE_CREDS_PATH unset and a home known).
int fallback_token_path(char *out);
// out gets the pending marker path.
void pending_path(char *out);
// out gets the profile directory.
void profile_dir(char *out);
// out gets the profile marker path.
void profile_marker_path(char *out);
