// Where the sign-in files lie, decided from an environment that the caller
// hands in (PathEnv): the rules read nothing themselves, so a table can
// give them any environment. Files: path_rules.cc. The running process's
// own environment is paths.h.
//
// Every location but two prefers an environment variable, then a place
// under the home directory, then a bare name in the working directory:
// the fallback token file has no variable and no bare name (it is tried
// only under a home, and only when LUMIVANE_CREDS_PATH is not set at all),
// and the profile directory has a step between its variable and the home
// (beside the credentials file named by LUMIVANE_CREDS_PATH).
//
// A path is composed into a PATH_CAP array and is never cut: a location
// whose path would not fit in PATH_CAP - 1 bytes names no file (its
// function returns 0 and leaves out empty), because a cut path names some
// other file. Nothing is read, tested or removed for such a location.
#pragma once

#include <stddef.h>

#include "base/limits.h"

// The name of the profile, and of its marker file (with ".txt") in the
// profile directory.
constexpr char PROFILE_NAME[] = "grandlumivane";

// What the rules read from the system.
struct PathEnv {
    // A variable's value, or null when it is not set.
    const char *(*getenv)(const char *name);
    // The last source of the home directory (HOME on POSIX); null where
    // the platform has none.
    const char *home_fallback;
    // The separator that composes a default path.
    char sep;
    // Index of the separator that ends the directory part of a path, or -1.
    long (*last_separator)(const char *path);
};

// The home directory into out (HOME_CAP bytes), from the first source that
// gives one whole: USERPROFILE; HOMEDRIVE joined with HOMEPATH;
// home_fallback. A source that is unset, empty, or longer than
// HOME_CAP - 1 bytes (the join counted whole) is passed over, never cut.
// 1, or 0 with out empty when none is known.
int home_dir(const PathEnv *env, char out[HOME_CAP]);

// Each fills out (PATH_CAP bytes) and returns 1, or returns 0 with out
// empty when the location names no file.
//
// The credentials path: LUMIVANE_CREDS_PATH, ~/.config/lumivane/auth.json,
// or auth.json.
int creds_path(const PathEnv *env, char *out);
// The fallback token path, ~/.lumivane/token.json; 0 also when the
// fallback may not be tried at all (LUMIVANE_CREDS_PATH set, even empty,
// or no home known).
int fallback_token_path(const PathEnv *env, char *out);
// The pending marker path: LUMIVANE_PENDING_PATH,
// ~/.zodizi/.login-pending/lumivane-default.json, or
// lumivane-default.json.
int pending_path(const PathEnv *env, char *out);
// The profile directory: LUMIVANE_ENV_DIR; beside the file that
// LUMIVANE_CREDS_PATH names, when its directory part (separator included)
// is at most 1,007 bytes (PROFILE_DIR_SPARE, limits.h);
// ~/.zodizi/vantorel-env; or ".".
int profile_dir(const PathEnv *env, char *out);
// The profile marker path: the profile directory, a separator (even after
// one that ends the directory), PROFILE_NAME ".txt"; 0 when that does not
// fit.
int profile_marker_path(const PathEnv *env, char *out);
