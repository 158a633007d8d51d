// The query readers and the routing decision, checked against a plain
// model of the query syntax: the query is split on '&', empty segments are
// passed over, names are compared byte for byte, and the first matching
// segment decides. Every reader's output array is sized exactly, so that a
// write past its capacity is caught.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/route.h"
#include "cgi/query.h"
#include "fuzz_support.h"
#include "base/limits.h"

namespace {

std::vector<std::string> segments(const std::string &q) {
    std::vector<std::string> out;
    size_t start = 0;
    while (true) {
        size_t amp = q.find('&', start);
        std::string seg = q.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
        if (!seg.empty()) out.push_back(seg);
        if (amp == std::string::npos) break;
        start = amp + 1;
    }
    return out;
}

bool model_has(const std::vector<std::string> &segs, const std::string &name) {
    for (const std::string &s : segs) {
        if (s.compare(0, name.size(), name) != 0) continue;
        if (s.size() == name.size() || s[name.size()] == '=') return true;
    }
    return false;
}

// The value of the first "name=" segment; false when there is none.
bool model_val(const std::vector<std::string> &segs, const std::string &name, std::string *val) {
    for (const std::string &s : segs) {
        if (s.size() > name.size() && s.compare(0, name.size(), name) == 0 && s[name.size()] == '=') {
            *val = s.substr(name.size() + 1);
            return true;
        }
    }
    return false;
}

Route model_route(const std::vector<std::string> &segs) {
    if (!model_has(segs, "action") && !model_has(segs, "format")) return ROUTE_PAGE;
    std::string action;
    model_val(segs, "action", &action);
    action = action.substr(0, ACTION_CAP - 1);
    if (action.empty() || action == "status") return ROUTE_STATUS;
    if (action == "start") return ROUTE_START;
    if (action == "poll") return ROUTE_POLL;
    if (action == "cancel") return ROUTE_CANCEL;
    if (action == "refresh") return ROUTE_REFRESH;
    return ROUTE_UNKNOWN;
}

const char *const NAMES[] = {"action", "format", "pwd", "force", "a", "node"};
const size_t CAPS[] = {1, 2, 8, ACTION_CAP, PWD_CAP};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string q = up_to_nul(std::string((const char *)data, size));
    // The query in a block of exactly its length + 1.
    char *query = (char *)malloc(q.size() + 1);
    memcpy(query, q.c_str(), q.size() + 1);
    std::vector<std::string> segs = segments(q);

    for (const char *name : NAMES) {
        FUZZ_CHECK(query_has(query, name) == (model_has(segs, name) ? 1 : 0));
        std::string expected;
        bool found = model_val(segs, name, &expected);
        for (size_t cap : CAPS) {
            char *out = (char *)malloc(cap);
            memset(out, 'X', cap);
            int r = get_query_val(query, name, out, cap);
            FUZZ_CHECK(r == (found ? 1 : 0));
            FUZZ_CHECK(memchr(out, '\0', cap) != nullptr);
            FUZZ_CHECK(std::string(out) == (found ? expected.substr(0, cap - 1) : std::string()));
            free(out);
        }
    }
    FUZZ_CHECK(route_request(query) == model_route(segs));

    // A null query reads as no parameter at all.
    char out[8];
    FUZZ_CHECK(query_has(nullptr, "action") == 0);
    FUZZ_CHECK(get_query_val(nullptr, "action", out, sizeof out) == 0 && out[0] == '\0');
    free(query);
    return 0;
}
