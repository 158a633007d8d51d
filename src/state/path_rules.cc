#include "state/path_rules.h"

#include <string.h>

#include "base/text.h"

static const char *env_nonempty(const PathEnv *env, const char *name) {
    const char *v = env->getenv(name);
    return (v && v[0]) ? v : nullptr;
}

// Where the home directory comes from, in order: each row's variables
// joined with nothing between them, every one set and non-empty.
struct HomeSource {
    const char *parts[2];  // null-ended
};
static const HomeSource HOME_SOURCES[] = {
    {{"USERPROFILE", nullptr}},
    {{"HOMEDRIVE", "HOMEPATH"}},
};

// Reads one source into out; 0, out empty, when a part is missing or
// empty or the whole does not fit.
static int read_home_source(const PathEnv *env, const HomeSource &src, char out[HOME_CAP]) {
    size_t used = 0;
    for (size_t i = 0; i < 2 && src.parts[i]; i++) {
        const char *part = env_nonempty(env, src.parts[i]);
        if (!part || !copy_whole(out + used, HOME_CAP - used, part)) {
            out[0] = '\0';
            return 0;
        }
        used += strlen(out + used);
    }
    return 1;
}

int home_dir(const PathEnv *env, char out[HOME_CAP]) {
    for (const HomeSource &src : HOME_SOURCES) {
        if (read_home_source(env, src, out)) return 1;
    }
    const char *fallback = env->home_fallback;
    if (fallback && fallback[0] && copy_whole(out, HOME_CAP, fallback)) return 1;
    out[0] = '\0';
    return 0;
}

// The files' locations: the variable that names one, the parts of its
// path below the home directory, and its name without a home.
struct Location {
    const char *variable;       // wins when set and non-empty; null: none
    const char *under_home[4];  // null-ended, joined with the separator after the home
    const char *bare;           // without a home directory; null: no file
};
enum LocationId { LOC_CREDENTIALS, LOC_FALLBACK_TOKEN, LOC_PENDING, LOC_PROFILE_DIR };
static const char PROFILE_DIR_NAME[] = "vantorel-env";
static const Location LOCATIONS[] = {
    /* LOC_CREDENTIALS */ {"LUMIVANE_CREDS_PATH", {".config", "lumivane", "auth.json", nullptr}, "auth.json"},
    /* LOC_FALLBACK_TOKEN */ {nullptr, {".lumivane", "token.json", nullptr}, nullptr},
    /* LOC_PENDING */
    {"LUMIVANE_PENDING_PATH", {".zodizi", ".login-pending", "lumivane-default.json", nullptr}, "lumivane-default.json"},
    // The variable is read by profile_dir, which puts a rule of its own
    // between it and the home.
    /* LOC_PROFILE_DIR */ {nullptr, {".zodizi", PROFILE_DIR_NAME, nullptr}, "."},
};

// out = base, then each part after a separator; 0 when it does not fit.
static int join_under(const PathEnv *env, char *out, const char *base, const char *const *parts) {
    if (!copy_whole(out, PATH_CAP, base)) return 0;
    size_t len = strlen(out);
    for (size_t i = 0; parts[i]; i++) {
        size_t n = strlen(parts[i]);
        if (len + 1 + n >= PATH_CAP) {
            out[0] = '\0';
            return 0;
        }
        out[len] = env->sep;
        memcpy(out + len + 1, parts[i], n + 1);
        len += 1 + n;
    }
    return 1;
}

// The location's place under the home directory (null: none known), or
// its bare name.
static int under_home_or_bare(const PathEnv *env, const Location &loc, const char *home, char *out) {
    if (home) return join_under(env, out, home, loc.under_home);
    if (loc.bare) return copy_whole(out, PATH_CAP, loc.bare);
    out[0] = '\0';
    return 0;
}

static int under_home_or_bare(const PathEnv *env, const Location &loc, char *out) {
    char home[HOME_CAP];
    return under_home_or_bare(env, loc, home_dir(env, home) ? home : nullptr, out);
}

static int locate(const PathEnv *env, LocationId id, char *out) {
    const Location &loc = LOCATIONS[id];
    const char *value = loc.variable ? env_nonempty(env, loc.variable) : nullptr;
    if (value) return copy_whole(out, PATH_CAP, value);
    return under_home_or_bare(env, loc, out);
}

int creds_path(const PathEnv *env, char *out) { return locate(env, LOC_CREDENTIALS, out); }

int fallback_token_path(const PathEnv *env, char *out) {
    out[0] = '\0';
    char home[HOME_CAP];
    if (env->getenv("LUMIVANE_CREDS_PATH") || !home_dir(env, home)) return 0;  // set even to "" blocks it
    return under_home_or_bare(env, LOCATIONS[LOC_FALLBACK_TOKEN], home, out);
}

int pending_path(const PathEnv *env, char *out) { return locate(env, LOC_PENDING, out); }

static const size_t PROFILE_DIR_NAME_LEN = sizeof PROFILE_DIR_NAME - 1;
// The longest credentials directory (its separator included) that gets
// the profile directory beside it: 1,007 bytes.
static const size_t MAX_CREDS_DIR_LEN = PATH_CAP - 1 - PROFILE_DIR_NAME_LEN - PROFILE_DIR_SPARE;
static_assert(MAX_CREDS_DIR_LEN + PROFILE_DIR_NAME_LEN <= PATH_CAP - 1, "the profile directory fits a path");

int profile_dir(const PathEnv *env, char *out) {
    const char *env_dir = env_nonempty(env, "LUMIVANE_ENV_DIR");
    if (env_dir) return copy_whole(out, PATH_CAP, env_dir);
    const char *creds = env_nonempty(env, "LUMIVANE_CREDS_PATH");
    if (creds) {
        // The profile lies beside the credentials file. The separator is
        // looked for in the whole value, never in a cut copy of it.
        long sep = env->last_separator(creds);
        if (sep >= 0 && (size_t)sep + 1 <= MAX_CREDS_DIR_LEN) {
            size_t dir_len = (size_t)sep + 1;
            memcpy(out, creds, dir_len);
            memcpy(out + dir_len, PROFILE_DIR_NAME, PROFILE_DIR_NAME_LEN + 1);
            return 1;
        }
    }
    return under_home_or_bare(env, LOCATIONS[LOC_PROFILE_DIR], out);
}

int profile_marker_path(const PathEnv *env, char *out) {
    char dir[PATH_CAP];
    if (!profile_dir(env, dir)) {
        out[0] = '\0';
        return 0;
    }
    static const char EXT[] = ".txt";
    char name[sizeof PROFILE_NAME - 1 + sizeof EXT];
    memcpy(name, PROFILE_NAME, sizeof PROFILE_NAME - 1);
    memcpy(name + sizeof PROFILE_NAME - 1, EXT, sizeof EXT);
    const char *const parts[] = {name, nullptr};
    return join_under(env, out, dir, parts);
}
