// The path rules from arbitrary environment values (each variable unset,
// empty, or any text up to a few KiB). Every output lies in a block of
// exactly PATH_CAP bytes. Checked: every path stays terminated within
// PATH_CAP - 1 bytes and the home text within HOME_CAP - 1; the home is
// one source's whole value, never a cut one; a set variable wins and is
// taken whole, or names no file at all when it does not fit (never a cut
// path); the fallback token file is offered only when LUMIVANE_CREDS_PATH
// is unset and a home is known; the profile directory beside the
// credentials ends where the whole value's directory part ends; the
// profile marker is the directory, '/' and the name, or no file.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz_support.h"
#include "base/limits.h"
#include "platform_fake.h"
#include "state/paths.h"

namespace {

const char *const VARS[] = {"USERPROFILE",         "HOMEDRIVE",          "HOMEPATH",
                            "HOME",                "LUMIVANE_CREDS_PATH", "LUMIVANE_PENDING_PATH",
                            "LUMIVANE_ENV_DIR"};
const size_t VAR_COUNT = sizeof VARS / sizeof VARS[0];
const char MARKER_NAME[] = "grandlumivane.txt";

// What a location function gave: the path, or "(none)" with out empty.
std::string named(int r, const char *out) {
    if (r == 1) return out;
    FUZZ_CHECK(r == 0 && out[0] == '\0');
    return "(none)";
}

// A variable's value as a path: whole, or no file when it does not fit.
std::string whole(const std::string &v) { return v.size() <= PATH_CAP - 1 ? v : "(none)"; }

char *path_block(void) {
    char *p = (char *)malloc(PATH_CAP);
    memset(p, 'Q', PATH_CAP);
    return p;
}

bool terminated(const char *p) { return memchr(p, '\0', PATH_CAP) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    fake_reset();
    std::string values[VAR_COUNT];
    bool set[VAR_COUNT];
    for (size_t i = 0; i < VAR_COUNT; i++) {
        int mode = in.ConsumeIntegralInRange(0, 3);
        set[i] = mode != 0;
        if (mode >= 2) values[i] = up_to_nul(in.ConsumeRandomLengthString(mode == 3 ? 3000 : 40));
        fake_setenv(VARS[i], set[i] ? values[i].c_str() : nullptr);
    }
    const std::string &creds_env = values[4];
    const std::string &pending_env = values[5];
    const std::string &env_dir = values[6];

    const PathEnv *env = process_path_env();
    char home_text[HOME_CAP];
    const char *h = home_dir(env, home_text) ? home_text : nullptr;
    if (h) FUZZ_CHECK(strlen(h) >= 1 && strlen(h) < HOME_CAP);
    std::string home = h ? h : "";
    if (h) FUZZ_CHECK(home == values[0] || home == values[1] + values[2] || home == values[3]);

    char *creds = path_block();
    int has_creds = creds_path(env, creds);
    FUZZ_CHECK(terminated(creds));
    std::string c = named(has_creds, creds);
    if (!creds_env.empty()) FUZZ_CHECK(c == whole(creds_env));
    if (creds_env.empty() && !h) FUZZ_CHECK(c == "auth.json");

    char *fallback = path_block();
    int offered = fallback_token_path(env, fallback);
    FUZZ_CHECK(terminated(fallback));
    FUZZ_CHECK(offered == (!set[4] && h ? 1 : 0));
    named(offered, fallback);

    char *pending = path_block();
    int has_pending = pending_path(env, pending);
    FUZZ_CHECK(terminated(pending));
    std::string p = named(has_pending, pending);
    if (!pending_env.empty()) FUZZ_CHECK(p == whole(pending_env));
    if (pending_env.empty() && !h) FUZZ_CHECK(p == "lumivane-default.json");
    if (pending_env.empty() && h) FUZZ_CHECK(p.compare(0, home.size(), home) == 0);

    char *dir = path_block();
    int has_dir = profile_dir(env, dir);
    FUZZ_CHECK(terminated(dir));
    std::string d = named(has_dir, dir);
    if (!env_dir.empty()) {
        FUZZ_CHECK(d == whole(env_dir));
    } else if (!creds_env.empty()) {
        // Beside the credentials when the whole value's directory part
        // (through its last '/') is short enough, else the home rule.
        size_t sep = creds_env.rfind('/');
        if (sep != std::string::npos && sep + 1 <= 1007) {
            FUZZ_CHECK(d == creds_env.substr(0, sep + 1) + "vantorel-env");
        } else {
            FUZZ_CHECK(d == (h ? home + "/.zodizi/vantorel-env" : std::string(".")));
        }
    }

    char *marker = path_block();
    int has_marker = profile_marker_path(env, marker);
    FUZZ_CHECK(terminated(marker));
    std::string m = named(has_marker, marker);
    if (!has_dir || d.size() + 1 + strlen(MARKER_NAME) > PATH_CAP - 1) {
        FUZZ_CHECK(m == "(none)");
    } else {
        FUZZ_CHECK(m == d + "/" + MARKER_NAME);
    }

    free(creds);
    free(fallback);
    free(pending);
    free(dir);
    free(marker);
    return 0;
}
