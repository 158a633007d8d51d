#include "state/paths.h"

#include <string.h>

#include "base/limits.h"
#include "platform/platform.h"

static char home[HOME_CAP];

// Copies src whole into out (cap bytes) and returns 1, or leaves out empty
// and returns 0 when it does not fit.
static int copy_whole(char *out, size_t cap, const char *src) {
    size_t n = strlen(src);
    if (n >= cap) {
        out[0] = '\0';
        return 0;
    }
    memcpy(out, src, n + 1);
    return 1;
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

// Reads one source into home; 0, home empty, when a part is missing or
// empty or the whole does not fit.
static int read_home_source(const HomeSource &src) {
    size_t used = 0;
    for (size_t i = 0; i < 2 && src.parts[i]; i++) {
        const char *part = plat_home_var(src.parts[i]);
        if (!part || !part[0] || !copy_whole(home + used, sizeof home - used, part)) {
            home[0] = '\0';
            return 0;
        }
        used += strlen(home + used);
    }
    return 1;
}

const char *home_dir(void) {
    for (const HomeSource &src : HOME_SOURCES) {
        if (read_home_source(src)) return home;
    }
    const char *fallback = plat_home_fallback();
    if (fallback && fallback[0] && copy_whole(home, sizeof home, fallback)) return home;
    home[0] = '\0';
    return nullptr;
}

char *read_file(const char *path) {
    size_t len = 0;
    return plat_read_file(path, FILE_MAX_BYTES, &len);
}

static const char *env_nonempty(const char *name) {
    const char *v = plat_getenv(name);
    return (v && v[0]) ? v : nullptr;
}

// The files' locations: the variable that names one, the parts of its
// path below the home directory, and its name without a home.
struct Location {
    const char *variable;       // wins when set and non-empty; null: none
    const char *under_home[4];  // null-ended, joined with PLAT_SEP after the home
    const char *bare;           // without a home directory; null: no file
};
enum LocationId { LOC_CREDENTIALS, LOC_FALLBACK_TOKEN, LOC_PENDING, LOC_PROFILE_DIR };
static const Location LOCATIONS[] = {
    /* LOC_CREDENTIALS */ {"LUMIVANE_CREDS_PATH", {".config", "lumivane", "auth.json", nullptr}, "auth.json"},
    /* LOC_FALLBACK_TOKEN */ {nullptr, {".lumivane", "token.json", nullptr}, nullptr},
    /* LOC_PENDING */
    {"LUMIVANE_PENDING_PATH", {".zodizi", ".login-pending", "lumivane-default.json", nullptr}, "lumivane-default.json"},
    // The variable is read by profile_dir, which puts a rule of its own
    // between it and the home.
    /* LOC_PROFILE_DIR */ {nullptr, {".zodizi", "vantorel-env", nullptr}, "."},
};

// out = base, then each part after a separator; 0 when it does not fit.
static int join_under(char *out, const char *base, const char *const *parts) {
    if (!copy_whole(out, PATH_CAP, base)) return 0;
    size_t len = strlen(out);
    for (size_t i = 0; parts[i]; i++) {
        size_t n = strlen(parts[i]);
        if (len + 1 + n >= PATH_CAP) {
            out[0] = '\0';
            return 0;
        }
        out[len] = PLAT_SEP;
        memcpy(out + len + 1, parts[i], n + 1);
        len += 1 + n;
    }
    return 1;
}

// The location's place under the home directory, or its bare name.
static int under_home_or_bare(const Location &loc, const char *h, char *out) {
    if (h) return join_under(out, h, loc.under_home);
    if (loc.bare) return copy_whole(out, PATH_CAP, loc.bare);
    out[0] = '\0';
    return 0;
}

static int locate(LocationId id, char *out) {
    const Location &loc = LOCATIONS[id];
    const char *env = loc.variable ? env_nonempty(loc.variable) : nullptr;
    const char *h = home_dir();  // read even when the variable decides
    if (env) return copy_whole(out, PATH_CAP, env);
    return under_home_or_bare(loc, h, out);
}

int creds_path(char *out) { return locate(LOC_CREDENTIALS, out); }

int fallback_token_path(char *out) {
    out[0] = '\0';
    const char *h = home_dir();
    if (plat_getenv("LUMIVANE_CREDS_PATH") || !h) return 0;  // set even to "" blocks it
    return under_home_or_bare(LOCATIONS[LOC_FALLBACK_TOKEN], h, out);
}

int pending_path(char *out) { return locate(LOC_PENDING, out); }

static const char PROFILE_DIR_NAME[] = "vantorel-env";
static const size_t PROFILE_DIR_NAME_LEN = sizeof PROFILE_DIR_NAME - 1;
// The longest credentials directory (its separator included) that gets
// the profile directory beside it, 1,007 bytes: the directory followed by
// PROFILE_DIR_NAME must fit a path, and 4 bytes more are kept spare. A
// longer directory has always sent the profile to the home rule, and a
// node may rely on where it is looked for.
static const size_t PROFILE_DIR_SPARE = 4;
static const size_t MAX_CREDS_DIR_LEN = PATH_CAP - 1 - PROFILE_DIR_NAME_LEN - PROFILE_DIR_SPARE;
static_assert(MAX_CREDS_DIR_LEN + PROFILE_DIR_NAME_LEN <= PATH_CAP - 1, "the profile directory fits a path");

static const char PROFILE_MARKER_NAME[] = "grandlumivane.txt";

int profile_dir(char *out) {
    const char *env_dir = env_nonempty("LUMIVANE_ENV_DIR");
    const char *creds = env_nonempty("LUMIVANE_CREDS_PATH");
    const char *h = home_dir();
    if (env_dir) return copy_whole(out, PATH_CAP, env_dir);
    if (creds) {
        // The profile lies beside the credentials file. The separator is
        // looked for in the whole value, never in a cut copy of it.
        long sep = plat_last_separator(creds);
        if (sep >= 0 && (size_t)sep + 1 <= MAX_CREDS_DIR_LEN) {
            size_t dir_len = (size_t)sep + 1;
            memcpy(out, creds, dir_len);
            memcpy(out + dir_len, PROFILE_DIR_NAME, PROFILE_DIR_NAME_LEN + 1);
            return 1;
        }
    }
    return under_home_or_bare(LOCATIONS[LOC_PROFILE_DIR], h, out);
}

int profile_marker_path(char *out) {
    char dir[PATH_CAP];
    if (!profile_dir(dir)) {
        out[0] = '\0';
        return 0;
    }
    // The separator is added even when the directory ends with one.
    const char *const name[] = {PROFILE_MARKER_NAME, nullptr};
    return join_under(out, dir, name);
}
