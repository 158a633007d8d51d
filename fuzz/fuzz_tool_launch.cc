// The rules of starting a tool without a shell (platform/tool_launch.h),
// each checked against a model written here with std::string:
//  - the environment filter passes exactly the entries that are neither a
//    request variable (the names and prefixes below) nor BOT_PASSWORD;
//  - the search path finds the first candidate, in the model's order, that
//    exists and fits, and nothing when none does;
//  - a direct Windows command line, read back with the C runtime's
//    argument rules, gives the path and every argument unchanged;
//  - a .bat/.cmd command line is written only for a path without '%', '"'
//    or a control byte, and what cmd /s /c runs is then exactly the quoted
//    path and the options.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/tool_launch.h"

namespace {

std::string upper(std::string s) {
    for (char &c : s) {
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    }
    return s;
}

bool model_env_passes(const std::string &entry, bool ignore_case) {
    size_t eq = entry.find('=', entry.empty() || entry[0] != '=' ? 0 : 1);
    if (eq == std::string::npos) return true;
    std::string name = entry.substr(0, eq);
    auto fold = [&](const std::string &s) { return ignore_case ? upper(s) : s; };
    static const char *const kept[] = {"SSL_CERT_FILE", "SSL_CERT_DIR"};
    static const char *const names[] = {
        "AUTH_TYPE", "CONTENT_LENGTH", "CONTENT_TYPE", "GATEWAY_INTERFACE", "PATH_INFO", "PATH_TRANSLATED",
        "QUERY_STRING", "REQUEST_METHOD", "SCRIPT_NAME", "REQUEST_URI", "REQUEST_ID", "SCRIPT_FILENAME",
        "SCRIPT_URI", "SCRIPT_URL", "SCRIPT_TRANSLATED", "ORIG_PATH_INFO", "DOCUMENT_ROOT", "DOCUMENT_URI",
        "REQUEST_SCHEME", "HTTPS", "UNIQUE_ID", "HTTP2", "H2PUSH", "AUTH_USER", "AUTH_PASSWORD", "LOGON_USER",
        "HTTPS_KEYSIZE", "HTTPS_SECRETKEYSIZE", "HTTPS_SERVER_ISSUER", "HTTPS_SERVER_SUBJECT", "ALL_HTTP",
        "ALL_RAW", "URL", "UNENCODED_URL", "CACHE_URL", "IIS_WasUrlRewritten", "LOCAL_ADDR", "LOCAL_PORT",
        "INSTANCE_ID", "INSTANCE_META_PATH", "INSTANCE_NAME", "APPL_MD_PATH", "APPL_PHYSICAL_PATH",
        "BOT_PASSWORD"};
    static const char *const prefixes[] = {"HTTP_", "REMOTE_", "SERVER_", "REDIRECT_", "CONTEXT_", "SSL_",
                                           "OIDC_", "MELLON_", "AUTHENTICATE_", "AUTHORIZE_", "GEOIP_", "H2_",
                                           "CERT_", "CRYPT_"};
    for (const char *k : kept) {
        if (fold(name) == fold(k)) return true;
    }
    for (const char *n : names) {
        if (fold(name) == fold(n)) return false;
    }
    for (const char *prefix : prefixes) {
        if (fold(name).compare(0, strlen(prefix), prefix) == 0) return false;
    }
    return true;
}

std::vector<std::string> split(const std::string &s, char sep) {
    std::vector<std::string> parts;
    size_t at = 0;
    for (;;) {
        size_t end = s.find(sep, at);
        parts.push_back(s.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) return parts;
        at = end + 1;
    }
}

std::vector<std::string> model_candidates(const std::string &name, const std::string &search, bool windows,
                                          const std::string &exts) {
    std::vector<std::string> out;
    if (name.empty()) return out;
    char sep = windows ? '\\' : '/';
    for (std::string dir : split(search, windows ? ';' : ':')) {
        if (windows && dir.size() >= 2 && dir.front() == '"' && dir.back() == '"') dir = dir.substr(1, dir.size() - 2);
        if (windows && dir.empty()) continue;
        std::string base = dir.empty() ? name : (dir.back() == sep ? dir + name : dir + sep + name);
        if (!windows) {
            out.push_back(base);
            continue;
        }
        if (name.find('.') != std::string::npos) out.push_back(base);
        for (const std::string &e : split(exts, ';')) {
            if (!e.empty()) out.push_back(base + e);
        }
    }
    return out;
}

int exists_in(const char *path, void *ctx) { return ((std::set<std::string> *)ctx)->count(path) != 0; }

// The C runtime's reading of a command line (msvcrt's rules, argv[0]
// aside: it runs to the closing quote).
bool parse_command_line(const std::string &line, std::vector<std::string> *args) {
    args->clear();
    if (line.empty() || line[0] != '"') return false;
    size_t close = line.find('"', 1);
    if (close == std::string::npos) return false;
    args->push_back(line.substr(1, close - 1));
    size_t i = close + 1;
    for (;;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) i++;
        if (i >= line.size()) return true;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') {
                slashes++;
                i++;
            }
            if (i < line.size() && line[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2) {
                    arg += '"';
                } else {
                    quoted = !quoted;
                }
                i++;
            } else {
                arg.append(slashes, '\\');
                if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) arg += line[i++];
            }
        }
        args->push_back(arg);
    }
}

bool batch_safe_path(const std::string &p) {
    for (unsigned char c : p) {
        if (c == '"' || c == '%' || c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

bool batch_safe_arg(const std::string &a) {
    if (a.empty()) return false;
    for (char c : a) {
        if (!isalnum((unsigned char)c) && !strchr("-_.=/:", c)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    int which = in.ConsumeIntegralInRange(0, 3);
    size_t cap = in.ConsumeIntegralInRange<size_t>(1, 600);
    std::vector<char> out(cap);

    if (which == 0) {
        bool ignore_case = in.ConsumeBool();
        std::string entry = up_to_nul(in.ConsumeRemainingBytesAsString());
        FUZZ_CHECK(tool_env_passes(entry.c_str(), ignore_case) == (model_env_passes(entry, ignore_case) ? 1 : 0));
    } else if (which == 1) {
        bool windows = in.ConsumeBool();
        std::string name = up_to_nul(in.ConsumeRandomLengthString(64));
        std::string exts = up_to_nul(in.ConsumeRandomLengthString(32));
        std::string search = up_to_nul(in.ConsumeRandomLengthString(256));
        std::set<std::string> files;
        while (in.remaining_bytes() > 0) files.insert(up_to_nul(in.ConsumeRandomLengthString(128)));
        // Make a hit likely: one of the model's candidates exists.
        std::vector<std::string> cands = model_candidates(name, search, windows, exts);
        if (!cands.empty() && !files.empty()) files.insert(cands[files.size() % cands.size()]);
        ToolSearchRules rules = windows ? ToolSearchRules{';', '\\', 0, exts.c_str()} : ToolSearchRules{':', '/', 1, nullptr};
        int r = tool_search(name.c_str(), search.c_str(), &rules, exists_in, &files, out.data(), cap);
        std::string want;
        for (const std::string &c : cands) {
            if (c.size() + 1 <= cap && files.count(c)) {
                want = c;
                break;
            }
        }
        FUZZ_CHECK(memchr(out.data(), '\0', cap) != nullptr);
        FUZZ_CHECK(r == (want.empty() ? 0 : 1));
        FUZZ_CHECK(std::string(out.data()) == want);
    } else {
        std::string path = up_to_nul(in.ConsumeRandomLengthString(128));
        std::vector<std::string> args;
        while (in.remaining_bytes() > 0 && args.size() < 8) args.push_back(up_to_nul(in.ConsumeRandomLengthString(24)));
        std::vector<const char *> argv;
        for (const auto &a : args) argv.push_back(a.c_str());
        if (which == 2) {
            int r = tool_direct_command_line(path.c_str(), argv.data(), (int)argv.size(), out.data(), cap);
            FUZZ_CHECK(memchr(out.data(), '\0', cap) != nullptr);
            if (path.find('"') != std::string::npos) FUZZ_CHECK(r == 0);
            if (r) {
                std::vector<std::string> back;
                FUZZ_CHECK(parse_command_line(out.data(), &back));
                std::vector<std::string> want = {path};
                want.insert(want.end(), args.begin(), args.end());
                FUZZ_CHECK(back == want);
            } else {
                FUZZ_CHECK(out[0] == '\0');
            }
        } else {
            const char cmd[] = "C:\\Windows\\system32\\cmd.exe";
            int r = tool_batch_command_line(cmd, path.c_str(), argv.data(), (int)argv.size(), out.data(), cap);
            std::string inner = "\"" + path + "\"";
            bool safe = batch_safe_path(path);
            for (const auto &a : args) {
                inner += " " + a;
                safe = safe && batch_safe_arg(a);
            }
            std::string whole = std::string("\"") + cmd + "\" /d /v:off /s /c \"" + inner + "\"";
            bool fits = whole.size() + 1 <= cap;
            FUZZ_CHECK(r == ((safe && fits) ? 1 : 0));
            FUZZ_CHECK(std::string(out.data()) == (r ? whole : ""));
        }
    }
    return 0;
}
