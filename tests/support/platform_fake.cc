// The in-memory platform behind the fuzz targets. It keeps the contracts
// of platform.h as platform_posix.cc keeps them (a FIFO or a directory is
// never read, a file over the cap is refused, a pipe read stops after a
// line feed or at cap - 1 bytes, a command that cannot be one quoted word
// is refused) so that the code under test meets the same edges in memory.
#include "platform_fake.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <map>

#include "base/limits.h"
#include "platform/platform.h"

const char PLAT_SEP = '/';

namespace {

struct Entry {
    FakeEntryKind kind;
    std::string bytes;
};

struct Tool {
    FakeToolResult result;
    std::string output;
};

struct World {
    std::map<std::string, std::string> env;
    std::map<std::string, Entry> entries;
    std::map<std::string, Tool> tools;  // keyed by the command line
    std::string out;
    std::vector<std::string> log;
    long long now = 1700000000;
};

World &world() {
    static World w;
    return w;
}

std::string command_key(const char *command, const char *args) {
    std::string key = command;
    if (args[0]) {
        key += ' ';
        key += args;
    }
    return key;
}

}  // namespace

struct PlatPipe {
    const Tool *tool;  // null: the interpreter found no such command
    size_t pos;
};

void fake_reset(void) {
    World &w = world();
    w.env.clear();
    w.entries.clear();
    w.tools.clear();
    w.out.clear();
    w.log.clear();
    w.now = 1700000000;
}

void fake_setenv(const char *name, const char *value) {
    if (value) {
        world().env[name] = value;
    } else {
        world().env.erase(name);
    }
}

void fake_set_entry(const char *path, FakeEntryKind kind, const std::string &bytes) {
    world().entries[path] = Entry{kind, bytes};
}

void fake_set_tool(const char *command, const char *args, FakeToolResult result,
                   const std::string &output) {
    world().tools[command_key(command, args)] = Tool{result, output};
}

void fake_set_now(long long now) { world().now = now; }

const std::string &fake_stdout(void) { return world().out; }

const std::vector<std::string> &fake_command_log(void) { return world().log; }

int fake_entry_exists(const char *path) { return world().entries.count(path) != 0; }

void plat_init_stdout(void) {}

void plat_write_stdout(const void *data, size_t n) {
    world().out.append((const char *)data, n);
}

const char *plat_getenv(const char *name) {
    const World &w = world();
    auto it = w.env.find(name);
    return it == w.env.end() ? nullptr : it->second.c_str();
}

int plat_home_var(const char *name, char *out, size_t cap, size_t *full_len) {
    out[0] = '\0';
    *full_len = 0;
    const char *v = plat_getenv(name);
    if (!v) return 0;
    size_t n = strlen(v);
    *full_len = n;
    size_t keep = n < cap - 1 ? n : cap - 1;
    memcpy(out, v, keep);
    out[keep] = '\0';
    return 1;
}

const char *plat_home_fallback(void) { return plat_getenv("HOME"); }

long plat_last_separator(const char *path) {
    const char *s = strrchr(path, '/');
    return s ? (long)(s - path) : -1;
}

int plat_exists(const char *path) { return world().entries.count(path) != 0; }

int plat_remove_file(const char *path) {
    World &w = world();
    auto it = w.entries.find(path);
    if (it == w.entries.end() || it->second.kind == FAKE_DIRECTORY) return 0;
    w.entries.erase(it);
    return 1;
}

char *plat_read_file(const char *path, unsigned long long max_bytes, size_t *len) {
    *len = 0;
    if (!path[0]) return nullptr;
    const World &w = world();
    auto it = w.entries.find(path);
    if (it == w.entries.end() || it->second.kind != FAKE_REGULAR) return nullptr;
    const std::string &bytes = it->second.bytes;
    if (bytes.size() > max_bytes) return nullptr;
    // Exactly size + 1 bytes, as the real reader allocates.
    char *text = (char *)malloc(bytes.size() + 1);
    if (!text) return nullptr;
    memcpy(text, bytes.data(), bytes.size());
    text[bytes.size()] = '\0';
    *len = bytes.size();
    return text;
}

long long plat_now(void) { return world().now; }

int plat_strnicmp(const char *a, const char *b, size_t n) { return strncasecmp(a, b, n); }

int plat_command_line(const char *command, const char *args, char *out, size_t cap) {
    out[0] = '\0';
    // The same fit rule as the real quoting: each quote costs four bytes
    // inside the word, and the word with its two quotes must fit.
    size_t word = 2;
    for (const char *c = command; *c; c++) word += (*c == '\'') ? 4 : 1;
    if (word > QUOTED_COMMAND_MAX) return 0;
    std::string line = command_key(command, args);
    if (line.size() + 1 > cap) return 0;
    memcpy(out, line.c_str(), line.size() + 1);
    return 1;
}

PlatPipe *plat_popen(const char *cmdline) {
    World &w = world();
    w.log.push_back(cmdline);
    auto it = w.tools.find(cmdline);
    const Tool *tool = it == w.tools.end() ? nullptr : &it->second;
    if (tool && tool->result == FAKE_TOOL_NO_START) return nullptr;
    PlatPipe *p = (PlatPipe *)malloc(sizeof *p);
    if (!p) return nullptr;
    p->tool = tool;
    p->pos = 0;
    return p;
}

size_t plat_pipe_read(PlatPipe *p, char *out, size_t cap) {
    size_t n = 0;
    if (p->tool) {
        const std::string &o = p->tool->output;
        while (n + 1 < cap && p->pos < o.size()) {
            char c = o[p->pos++];
            out[n++] = c;
            if (c == '\n') break;
        }
    }
    out[n] = '\0';
    return n;
}

int plat_pclose(PlatPipe *p) {
    int result = (p->tool && p->tool->result == FAKE_TOOL_RAN) ? 1 : -1;
    free(p);
    return result;
}

int plat_spawn_discard(const char *cmdline, PlatProcess *p) {
    World &w = world();
    p->handle = 0;
    w.log.push_back(cmdline);
    auto it = w.tools.find(cmdline);
    if (it != w.tools.end() && it->second.result == FAKE_TOOL_NO_START) return 0;
    // The handle remembers the answer: 1 ran, 2 not found.
    p->handle = (it != w.tools.end() && it->second.result == FAKE_TOOL_RAN) ? 1 : 2;
    return 1;
}

int plat_wait(PlatProcess *p) {
    if (p->handle <= 0) return 1;
    int result = p->handle == 1 ? 1 : -1;
    p->handle = 0;
    return result;
}
