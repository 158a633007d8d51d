#include "state/paths.h"

#include <stdio.h>
#include <string.h>

#include "base/limits.h"
#include "platform/platform.h"

static char home[HOME_CAP];

// Copies src into out (cap bytes), cut at cap - 1 and terminated.
static void copy_text(char *out, size_t cap, const char *src) { snprintf(out, cap, "%s", src); }

const char *home_dir(void) {
    size_t full = 0;
    if (plat_home_var("USERPROFILE", home, sizeof home, &full) && full >= 1 && full < sizeof home)
        return home;
    home[0] = '\0';
    char drive[HOME_CAP];
    char path[HOME_CAP];
    if (plat_home_var("HOMEDRIVE", drive, sizeof drive, &full) && full >= 1 &&
        plat_home_var("HOMEPATH", path, sizeof path, &full) && full >= 1) {
        // Nothing goes between the two; the join is cut at HOME_CAP - 1.
        size_t d = strlen(drive);
        size_t keep = strlen(path);
        if (keep > sizeof home - 1 - d) keep = sizeof home - 1 - d;
        memcpy(home, drive, d);
        memcpy(home + d, path, keep);
        home[d + keep] = '\0';
        return home;
    }
    const char *fallback = plat_home_fallback();
    if (fallback && fallback[0] && strlen(fallback) < sizeof home) {
        copy_text(home, sizeof home, fallback);
        return home;
    }
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

void creds_path(char *out) {
    const char *env = env_nonempty("LUMIVANE_CREDS_PATH");
    const char *h = home_dir();
    if (env) {
        copy_text(out, PATH_CAP, env);
    } else if (h) {
        snprintf(out, PATH_CAP, "%s%c.config%clumivane%cauth.json", h, PLAT_SEP, PLAT_SEP, PLAT_SEP);
    } else {
        copy_text(out, PATH_CAP, "auth.json");
    }
}

int fallback_token_path(char *out) {
    out[0] = '\0';
    const char *h = home_dir();
    if (plat_getenv("LUMIVANE_CREDS_PATH") || !h) return 0;  // set even to "" blocks it
    snprintf(out, PATH_CAP, "%s%c.lumivane%ctoken.json", h, PLAT_SEP, PLAT_SEP);
    return 1;
}

void pending_path(char *out) {
    const char *env = env_nonempty("LUMIVANE_PENDING_PATH");
    const char *h = home_dir();
    if (env) {
        copy_text(out, PATH_CAP, env);
    } else if (h) {
        snprintf(out, PATH_CAP, "%s%c.zodizi%c.login-pending%clumivane-default.json", h, PLAT_SEP,
                 PLAT_SEP, PLAT_SEP);
    } else {
        copy_text(out, PATH_CAP, "lumivane-default.json");
    }
}

static const char PROFILE_DIR_NAME[] = "vantorel-env";
// The longest credentials directory that still gets the profile beside it.
static const size_t MAX_CREDS_DIR_LEN = 1007;
static const char PROFILE_MARKER_NAME[] = "grandlumivane.txt";

void profile_dir(char *out) {
    const char *env_dir = env_nonempty("LUMIVANE_ENV_DIR");
    const char *creds = env_nonempty("LUMIVANE_CREDS_PATH");
    const char *h = home_dir();
    if (env_dir) {
        copy_text(out, PATH_CAP, env_dir);
        return;
    }
    if (creds) {
        // The profile lies beside the credentials file.
        char scratch[PATH_CAP];
        copy_text(scratch, sizeof scratch, creds);
        long sep = plat_last_separator(scratch);
        if (sep >= 0) {
            scratch[sep + 1] = '\0';
            if (strlen(scratch) <= MAX_CREDS_DIR_LEN) {
                snprintf(out, PATH_CAP, "%s%s", scratch, PROFILE_DIR_NAME);
                return;
            }
        }
    }
    if (h) {
        snprintf(out, PATH_CAP, "%s%c.zodizi%c%s", h, PLAT_SEP, PLAT_SEP, PROFILE_DIR_NAME);
    } else {
        copy_text(out, PATH_CAP, ".");
    }
}

void profile_marker_path(char *out) {
    char dir[PATH_CAP];
    profile_dir(dir);
    // An over-long directory gives the bare name rather than a cut path.
    if (strlen(dir) + 1 + sizeof PROFILE_MARKER_NAME - 1 > PATH_CAP - 1) {
        copy_text(out, PATH_CAP, PROFILE_MARKER_NAME);
    } else {
        snprintf(out, PATH_CAP, "%s%c%s", dir, PLAT_SEP, PROFILE_MARKER_NAME);
    }
}
