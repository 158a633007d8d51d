// The path rules from arbitrary environment values (each variable unset,
// empty, or any text up to a few KiB). Every output lies in a block of
// exactly PATH_CAP bytes. Checked: every path stays terminated within
// PATH_CAP - 1 bytes and the home text within HOME_CAP - 1; a set
// variable wins and is cut, never rewritten; the fallback token file is
// offered only when LUMIVANE_CREDS_PATH is unset and a home is known; the
// profile marker is the bare name or the directory, '/' and the name,
// never a cut-off path.
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

// The value as a PATH_CAP array holds it.
std::string cut(const std::string &v) { return v.substr(0, PATH_CAP - 1); }

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

    const char *h = home_dir();
    if (h) FUZZ_CHECK(strlen(h) >= 1 && strlen(h) < HOME_CAP);
    std::string home = h ? h : "";

    char *creds = path_block();
    creds_path(creds);
    FUZZ_CHECK(terminated(creds));
    if (!creds_env.empty()) FUZZ_CHECK(creds == cut(creds_env));
    if (creds_env.empty() && !h) FUZZ_CHECK(strcmp(creds, "auth.json") == 0);

    char *fallback = path_block();
    int offered = fallback_token_path(fallback);
    FUZZ_CHECK(terminated(fallback));
    FUZZ_CHECK(offered == (!set[4] && h ? 1 : 0));
    if (!offered) FUZZ_CHECK(fallback[0] == '\0');

    char *pending = path_block();
    pending_path(pending);
    FUZZ_CHECK(terminated(pending));
    if (!pending_env.empty()) FUZZ_CHECK(pending == cut(pending_env));
    if (pending_env.empty() && !h) FUZZ_CHECK(strcmp(pending, "lumivane-default.json") == 0);
    if (pending_env.empty() && h) FUZZ_CHECK(std::string(pending).compare(0, home.size(), home) == 0);

    char *dir = path_block();
    profile_dir(dir);
    FUZZ_CHECK(terminated(dir));
    if (!env_dir.empty()) FUZZ_CHECK(dir == cut(env_dir));

    char *marker = path_block();
    profile_marker_path(marker);
    FUZZ_CHECK(terminated(marker));
    std::string m = marker;
    std::string d = dir;
    if (d.size() + 1 + strlen(MARKER_NAME) > PATH_CAP - 1) {
        FUZZ_CHECK(m == MARKER_NAME);
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
