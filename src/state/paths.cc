#include "state/paths.h"

#include "base/limits.h"
#include "platform/platform.h"

const PathEnv *process_path_env(void) {
    static PathEnv env;
    env.getenv = plat_getenv;
    env.home_fallback = plat_home_fallback();
    env.sep = PLAT_SEP;
    env.last_separator = plat_last_separator;
    return &env;
}

char *read_file(const char *path) {
    size_t len = 0;
    return plat_read_file(path, FILE_MAX_BYTES, &len);
}
