// The path rules on environments given as tables: the home directory
// sources, the defaults under a home, and the refusals at the fixed
// capacities. The environment is handed in, so nothing here reads the
// process's own.
#include <gtest/gtest.h>

#include <string.h>

#include <map>
#include <string>

#include "base/limits.h"
#include "state/path_rules.h"

namespace {

// An environment made of exactly the given variables, with POSIX's
// conventions ('/' composes a path, HOME is the last home source) or
// Windows' (a backslash composes, either separator ends a directory, no HOME).
struct World {
    std::map<std::string, std::string> vars;
    PathEnv env;
    explicit World(std::map<std::string, std::string> given, bool windows = false) : vars(std::move(given)) {
        current = this;
        env.getenv = lookup;
        auto home = vars.find("HOME");
        env.home_fallback = home == vars.end() || windows ? nullptr : home->second.c_str();
        env.sep = windows ? '\\' : '/';
        env.last_separator = windows ? last_windows_separator : last_slash;
    }
    ~World() { current = nullptr; }
    static World *current;
    static const char *lookup(const char *name) {
        auto it = current->vars.find(name);
        return it == current->vars.end() ? nullptr : it->second.c_str();
    }
    static long last_slash(const char *path) {
        const char *s = strrchr(path, '/');
        return s ? (long)(s - path) : -1;
    }
    static long last_windows_separator(const char *path) {
        const char *s = strrchr(path, '\\');
        if (!s) s = strrchr(path, '/');
        return s ? (long)(s - path) : -1;
    }
};
World *World::current = nullptr;

// The path a location function gave, or "(none)" when it named no file
// (its output must then be empty).
std::string got(int named, const char *out) {
    if (!named) return out[0] ? std::string("(none, but out holds ") + out + ")" : std::string("(none)");
    return out;
}

// The home directory, or "(null)" when none is known (out must then be
// empty).
std::string home(World &world) {
    char h[HOME_CAP];
    if (home_dir(&world.env, h)) return h;
    return h[0] ? std::string("(null, but out holds ") + h + ")" : std::string("(null)");
}

TEST(HomeDir, SourcesInOrder) {
    const std::string p511(511, 'u'), p512(512, 'u');
    struct Case {
        const char *why;
        std::map<std::string, std::string> env;
        std::string home;
    } cases[] = {
        {"none", {}, "(null)"},
        {"USERPROFILE", {{"USERPROFILE", "/u"}, {"HOME", "/h"}}, "/u"},
        {"USERPROFILE of 511 bytes", {{"USERPROFILE", p511}}, p511},
        {"USERPROFILE of 512 bytes is passed over", {{"USERPROFILE", p512}, {"HOMEDRIVE", "C:"}, {"HOMEPATH", "\\x"}}, "C:\\x"},
        {"empty USERPROFILE", {{"USERPROFILE", ""}, {"HOME", "/h"}}, "/h"},
        {"drive and path joined", {{"HOMEDRIVE", "/d"}, {"HOMEPATH", "/p"}}, "/d/p"},
        {"drive without path", {{"HOMEDRIVE", "/d"}}, "(null)"},
        {"drive without path falls to HOME", {{"HOMEDRIVE", "/d"}, {"HOME", "/h"}}, "/h"},
        {"join of exactly 511", {{"HOMEDRIVE", std::string(300, 'd')}, {"HOMEPATH", std::string(211, 'p')}},
         std::string(300, 'd') + std::string(211, 'p')},
        // A home that does not fit is never cut into another directory.
        {"join of 512 is passed over", {{"HOMEDRIVE", std::string(300, 'd')}, {"HOMEPATH", std::string(212, 'p')}},
         "(null)"},
        {"join of 600 falls to HOME", {{"HOMEDRIVE", std::string(300, 'd')}, {"HOMEPATH", std::string(300, 'p')}, {"HOME", "/h"}},
         "/h"},
        {"long drive is passed over", {{"HOMEDRIVE", std::string(600, 'd')}, {"HOMEPATH", "p"}}, "(null)"},
        {"long path is passed over", {{"HOMEDRIVE", "C:"}, {"HOMEPATH", std::string(600, 'p')}}, "(null)"},
        {"HOME of 512 bytes is no home", {{"HOME", p512}}, "(null)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World world(c.env);
        EXPECT_EQ(home(world), c.home);
    }
}

TEST(Paths, ProfileDirectoryAndMarker) {
    const std::string dir1005(1005, 'd'), dir1006(1006, 'd'), dir1023(1023, 'd');
    const std::string creds1007 = std::string(1006, 'c') + "/";  // a directory part of 1007 bytes
    const std::string creds1008 = std::string(1007, 'c') + "/";
    struct Case {
        const char *why;
        std::map<std::string, std::string> env;
        std::string dir, marker;
    } cases[] = {
        {"no home", {}, ".", "./grandlumivane.txt"},
        {"home", {{"HOME", "/h"}}, "/h/.zodizi/vantorel-env", "/h/.zodizi/vantorel-env/grandlumivane.txt"},
        {"beside the credentials", {{"LUMIVANE_CREDS_PATH", "/k/auth.json"}, {"HOME", "/h"}}, "/k/vantorel-env",
         "/k/vantorel-env/grandlumivane.txt"},
        {"credentials without a separator", {{"LUMIVANE_CREDS_PATH", "auth.json"}, {"HOME", "/h"}},
         "/h/.zodizi/vantorel-env", "/h/.zodizi/vantorel-env/grandlumivane.txt"},
        {"env dir wins, trailing separator kept", {{"LUMIVANE_ENV_DIR", "/e/"}, {"LUMIVANE_CREDS_PATH", "/k/a"}}, "/e/",
         "/e//grandlumivane.txt"},
        {"empty env dir is unset", {{"LUMIVANE_ENV_DIR", ""}}, ".", "./grandlumivane.txt"},
        {"directory of 1005 bytes fits", {{"LUMIVANE_ENV_DIR", dir1005}}, dir1005, dir1005 + "/grandlumivane.txt"},
        // A marker path that does not fit names no file, not a bare name
        // in the working directory.
        {"directory of 1006 bytes gives no marker", {{"LUMIVANE_ENV_DIR", dir1006}}, dir1006, "(none)"},
        {"directory of 1023 bytes", {{"LUMIVANE_ENV_DIR", dir1023}}, dir1023, "(none)"},
        {"directory of 1024 bytes is no directory", {{"LUMIVANE_ENV_DIR", dir1023 + "d"}, {"HOME", "/h"}}, "(none)",
         "(none)"},
        {"credentials directory of 1007 bytes", {{"LUMIVANE_CREDS_PATH", creds1007 + "a.json"}},
         creds1007 + "vantorel-env", "(none)"},
        {"credentials directory of 1008 bytes falls back", {{"LUMIVANE_CREDS_PATH", creds1008 + "a.json"}}, ".",
         "./grandlumivane.txt"},
        // The directory part is taken from the whole value, never from a
        // copy cut at 1,023 bytes (which would end at an earlier separator).
        {"credentials path of 2,003 bytes in a short directory",
         {{"LUMIVANE_CREDS_PATH", "/k/" + std::string(2000, 'a')}}, "/k/vantorel-env",
         "/k/vantorel-env/grandlumivane.txt"},
        {"separator past the cut: directory of 1,104 bytes",
         {{"LUMIVANE_CREDS_PATH", "/k/" + std::string(1100, 'b') + "/auth.json"}, {"HOME", "/h"}},
         "/h/.zodizi/vantorel-env", "/h/.zodizi/vantorel-env/grandlumivane.txt"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World world(c.env);
        char dir[PATH_CAP], marker[PATH_CAP];
        int has_dir = profile_dir(&world.env, dir);
        int has_marker = profile_marker_path(&world.env, marker);
        EXPECT_EQ(got(has_dir, dir), c.dir);
        EXPECT_EQ(got(has_marker, marker), c.marker);
    }
}

TEST(Paths, CredentialsPendingAndFallback) {
    struct Case {
        const char *why;
        std::map<std::string, std::string> env;
        std::string creds, pending, fallback;  // fallback "(none)" when not tried
    } cases[] = {
        {"no home", {}, "auth.json", "lumivane-default.json", "(none)"},
        {"home", {{"HOME", "/h"}}, "/h/.config/lumivane/auth.json", "/h/.zodizi/.login-pending/lumivane-default.json",
         "/h/.lumivane/token.json"},
        {"variables", {{"HOME", "/h"}, {"LUMIVANE_CREDS_PATH", "/c"}, {"LUMIVANE_PENDING_PATH", "/p"}}, "/c", "/p",
         "(none)"},
        {"empty variables", {{"HOME", "/h"}, {"LUMIVANE_CREDS_PATH", ""}, {"LUMIVANE_PENDING_PATH", ""}},
         "/h/.config/lumivane/auth.json", "/h/.zodizi/.login-pending/lumivane-default.json", "(none)"},
        {"variables of 1023 bytes fit",
         {{"LUMIVANE_CREDS_PATH", std::string(1023, 'c')}, {"LUMIVANE_PENDING_PATH", std::string(1023, 'p')}},
         std::string(1023, 'c'), std::string(1023, 'p'), "(none)"},
        // One byte more, and the path is never cut: it names no file, and
        // the home default does not stand in for it.
        {"variables of 1024 bytes name no file",
         {{"HOME", "/h"}, {"LUMIVANE_CREDS_PATH", std::string(1024, 'c')}, {"LUMIVANE_PENDING_PATH", std::string(1024, 'p')}},
         "(none)", "(none)", "(none)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World world(c.env);
        char creds[PATH_CAP], pending[PATH_CAP], fallback[PATH_CAP];
        int has_creds = creds_path(&world.env, creds);
        int has_pending = pending_path(&world.env, pending);
        int tried = fallback_token_path(&world.env, fallback);
        EXPECT_EQ(got(has_creds, creds), c.creds);
        EXPECT_EQ(got(has_pending, pending), c.pending);
        EXPECT_EQ(got(tried, fallback), c.fallback);
    }
}

// The same rules with Windows' conventions: the home from its own
// variables only, paths composed with a backslash, and the profile beside a
// credentials path that either separator ends.
TEST(Paths, WindowsConventions) {
    struct Case {
        const char *why;
        std::map<std::string, std::string> env;
        std::string creds, dir;
    } cases[] = {
        {"USERPROFILE", {{"USERPROFILE", "C:\\Users\\op"}}, "C:\\Users\\op\\.config\\lumivane\\auth.json",
         "C:\\Users\\op\\.zodizi\\vantorel-env"},
        {"drive and path", {{"HOMEDRIVE", "D:"}, {"HOMEPATH", "\\op"}}, "D:\\op\\.config\\lumivane\\auth.json",
         "D:\\op\\.zodizi\\vantorel-env"},
        {"HOME is no home there", {{"HOME", "/h"}}, "auth.json", "."},
        {"beside credentials named with '\\'", {{"LUMIVANE_CREDS_PATH", "E:\\keys\\auth.json"}},
         "E:\\keys\\auth.json", "E:\\keys\\vantorel-env"},
        {"beside credentials named with '/'", {{"LUMIVANE_CREDS_PATH", "E:/keys/auth.json"}}, "E:/keys/auth.json",
         "E:/keys/vantorel-env"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        World world(c.env, true);
        char creds[PATH_CAP], dir[PATH_CAP];
        int has_creds = creds_path(&world.env, creds);
        int has_dir = profile_dir(&world.env, dir);
        EXPECT_EQ(got(has_creds, creds), c.creds);
        EXPECT_EQ(got(has_dir, dir), c.dir);
    }
}

}  // namespace
