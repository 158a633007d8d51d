// The in-memory platform behind the fuzz targets. It keeps the contracts
// of platform.h as platform_posix.cc keeps them (a FIFO or a directory is
// never read, a file over the cap is refused, a pipe read stops after a
// line feed or at cap bytes, a tool past its time limit reads -1 after its
// output) so that the code under test meets the same edges in memory.
#include "platform_fake.h"

#include <stdlib.h>
#include <string.h>

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
    ToolResult result;
    std::string output;
};

struct World {
    std::map<std::string, std::string> env;
    std::map<std::string, Entry> entries;
    std::map<std::string, Tool> tools;  // keyed by the command line
    std::string out;
    std::vector<std::string> log;
    long long now = 1700000000;
    long long clock_ms = 0;
    NodeLock lock_result = NODE_LOCK_HELD;
    std::vector<std::string> lock_log;
    int lock_held = 0;
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

struct PlatTool {
    const Tool *tool;
    long long deadline_ms;
    size_t pos;    // bytes of its output read so far
    int capture;   // 0: its output is discarded
    int ended;     // plat_tool_end was called
};

void fake_reset(void) {
    World &w = world();
    w.env.clear();
    w.entries.clear();
    w.tools.clear();
    w.out.clear();
    w.log.clear();
    w.now = 1700000000;
    w.clock_ms = 0;
    w.lock_result = NODE_LOCK_HELD;
    w.lock_log.clear();
    w.lock_held = 0;
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

void fake_set_tool(const char *command, const char *args, ToolResult result,
                   const std::string &output) {
    world().tools[command_key(command, args)] = Tool{result, output};
}

void fake_set_now(long long now) { world().now = now; }

void fake_set_node_lock(NodeLock result) { world().lock_result = result; }

const std::vector<std::string> &fake_node_lock_log(void) { return world().lock_log; }

int fake_node_lock_held(void) { return world().lock_held; }

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

long long plat_clock_ms(void) { return world().clock_ms; }

void plat_init_tools(void) {}

// A tool past its deadline has used the request's time up to it.
static void run_to_deadline(const PlatTool *t) {
    World &w = world();
    if (t->tool->result == TOOL_TIMED_OUT && w.clock_ms < t->deadline_ms) w.clock_ms = t->deadline_ms;
}

ToolResult plat_tool_start(const char *command, const char *const *args, int nargs, int capture, long long deadline_ms,
                    PlatTool **tool) {
    *tool = nullptr;
    World &w = world();
    std::string line = command;
    for (int i = 0; i < nargs; i++) {
        line += ' ';
        line += args[i];
    }
    w.log.push_back(line);
    auto it = w.tools.find(line);
    if (it == w.tools.end() || it->second.result == TOOL_NOT_FOUND) return TOOL_NOT_FOUND;
    if (it->second.result == TOOL_NOT_STARTED) return TOOL_NOT_STARTED;
    PlatTool *t = (PlatTool *)malloc(sizeof *t);
    if (!t) return TOOL_NOT_STARTED;
    t->tool = &it->second;
    t->deadline_ms = deadline_ms;
    t->pos = 0;
    t->capture = capture;
    t->ended = 0;
    *tool = t;
    return TOOL_RAN;
}

long plat_tool_read(PlatTool *t, char *out, size_t cap) {
    const std::string &o = t->tool->output;
    if (!t->capture || t->ended || t->pos >= o.size()) {
        // A tool that runs past its limit has said all it will by then.
        if (t->tool->result == TOOL_TIMED_OUT && !t->ended && t->capture) {
            run_to_deadline(t);
            return -1;
        }
        return 0;
    }
    // Any split is a legal block read: this one stops after a line feed.
    size_t n = 0;
    while (n < cap && t->pos < o.size()) {
        char c = o[t->pos++];
        out[n++] = c;
        if (c == '\n') break;
    }
    return (long)n;
}

void plat_tool_end(PlatTool *t) { t->ended = 1; }

// A tool exits with the end of its output, unless it runs past its deadline.
int plat_tool_wait(PlatTool *t, long long until_ms) {
    (void)until_ms;
    return t->tool->result != TOOL_TIMED_OUT || t->ended;
}

void plat_tool_leave(PlatTool *t) { free(t); }

ToolResult plat_tool_finish(PlatTool *t, ToolExit *how) {
    // A tool that plat_tool_end ended was killed, as a real one is.
    if (how) {
        how->killed = t->ended;
        how->exited = !t->ended;
        how->code = 0;  // a fake tool that ends by itself exits 0
    }
    if (!t->ended) run_to_deadline(t);
    ToolResult result = t->tool->result == TOOL_TIMED_OUT ? TOOL_TIMED_OUT : TOOL_RAN;
    free(t);
    return result;
}

NodeLock plat_node_lock(const char *marker_path, long long deadline_ms) {
    World &w = world();
    w.lock_log.push_back(marker_path);
    if (w.lock_result == NODE_LOCK_TIMED_OUT && w.clock_ms < deadline_ms) w.clock_ms = deadline_ms;
    w.lock_held = w.lock_result == NODE_LOCK_HELD;
    return w.lock_result;
}

void plat_node_unlock(void) { world().lock_held = 0; }
