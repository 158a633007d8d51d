// Every JSON field reader, every tool-answer reader and last_json_line on
// arbitrary text. The field readers get a span in a block of exactly its
// length, with no NUL after it (NULs inside it included), and each output
// array lies in a block of exactly its capacity, so that a read past end
// or a write past the capacity is caught. Beyond memory safety the target
// checks what the readers promise: a found value lies inside the span
// after a colon, an absent key, a null, an object or an array reads as the
// neutral result, outputs stay terminated within their capacity, a text
// cut at its capacity is the longest prefix of whole characters of the
// full text, and last_json_line picks the last line that begins with '{'
// (after a byte-order mark).
#include <fuzzer/FuzzedDataProvider.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "base/buf.h"
#include "fuzz_support.h"
#include "json/json_reader.h"
#include "base/limits.h"
#include "tools/tool_contract.h"

namespace {

const char *const KEYS[] = {"ok", "error", "access_token", "refresh_token", "expires_at",
                            "created", "org_id", "state", "a"};
const char SENTINEL = 'Z';

bool is_ws(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool terminated_within(const char *out, size_t cap) { return memchr(out, '\0', cap) != nullptr; }

// A text stored with capacity cap, against the same text stored with room
// for all of it: a prefix, and when the full text is well-formed UTF-8,
// whole characters only and as many as fit.
void check_cut(const std::string &cut, const std::string &full, size_t cap) {
    FUZZ_CHECK(cut.size() <= cap - 1);
    FUZZ_CHECK(full.compare(0, cut.size(), cut) == 0);
    if (cut.size() < full.size() && strict_utf8_valid(full)) {
        FUZZ_CHECK(strict_utf8_valid(cut));
        FUZZ_CHECK(cut.size() + strict_utf8_char(full, cut.size()) > cap - 1);
    }
}

void check_key(const char *text, const char *end, const char *key, size_t cap) {
    const char *v = json_find_key(text, end, key);
    if (v) {
        FUZZ_CHECK(v > text && v < end);
        FUZZ_CHECK(!is_ws(*v));
        const char *c = v - 1;
        while (c > text && is_ws(*c)) c--;
        FUZZ_CHECK(*c == ':');
    }

    int present = json_str_present(text, end, key);
    FUZZ_CHECK(present == 0 || (v && *v == '"'));

    long long num = json_num_field(text, end, key);
    FUZZ_CHECK(v || num == 0);

    int b0 = json_bool_field(text, end, key, 0);
    int b1 = json_bool_field(text, end, key, 1);
    FUZZ_CHECK((b0 == 0 || b0 == 1) && (b1 == 0 || b1 == 1));
    FUZZ_CHECK(v ? b0 == b1 : (b0 == 0 && b1 == 1));

    char *out = (char *)malloc(cap);
    memset(out, SENTINEL, cap);
    int stored = json_str_field(text, end, key, out, cap);
    // An unquoted value runs to a comma, a closing bracket, a NUL or end;
    // one that holds a structure or a string behind junk is no scalar.
    bool junk_then_structure = false;
    if (v && *v != '"') {
        for (const char *p = v; p < end && *p && *p != ',' && *p != '}' && *p != ']'; p++) {
            if (*p == '{' || *p == '[' || *p == '"') junk_then_structure = true;
        }
    }
    if (!v || *v == 'n' || *v == '{' || *v == '[' || junk_then_structure) {
        // Absent, null, an object or an array, also behind junk: the
        // output is not touched.
        FUZZ_CHECK(stored == 0);
        for (size_t i = 0; i < cap; i++) FUZZ_CHECK(out[i] == SENTINEL);
    } else {
        FUZZ_CHECK(terminated_within(out, cap));
        if (*v != '"') FUZZ_CHECK(stored == (out[0] != '\0'));
        if (*v == '"') {
            FUZZ_CHECK(stored == 1);
            // The same string with room for all of it.
            size_t room = (size_t)(end - v) * 3 + 1;
            char *whole = (char *)malloc(room);
            FUZZ_CHECK(json_str_field(text, end, key, whole, room) == 1);
            check_cut(out, whole, cap);
            // A present string decodes to something (a string made only
            // of escape pairs may too, but is not present).
            FUZZ_CHECK(!present || whole[0] != '\0');
            free(whole);
        }
        // Refused rather than cut: the whole value, or nothing.
        size_t room = (size_t)(end - v) * 3 + 1;
        char *whole = (char *)malloc(room);
        int whole_stored = json_str_field(text, end, key, whole, room);
        char *exact = (char *)malloc(cap);
        memset(exact, SENTINEL, cap);
        int exact_stored = json_str_field_whole(text, end, key, exact, cap);
        FUZZ_CHECK(terminated_within(exact, cap));
        if (strlen(whole) <= cap - 1) {
            FUZZ_CHECK(exact_stored == whole_stored && strcmp(exact, whole) == 0);
        } else {
            FUZZ_CHECK(exact_stored == 0 && exact[0] == '\0');
        }
        free(exact);
        free(whole);
    }
    free(out);
}

void check_strings(const char *text, size_t len, size_t cap) {
    const char *end = text + len;
    // Decode the string at each of the first quotes of the text.
    int tried = 0;
    for (size_t i = 0; i < len && tried < 32; i++) {
        if (text[i] != '"') continue;
        tried++;
        char *out = (char *)malloc(cap);
        const char *cursor = text + i;
        FUZZ_CHECK(json_read_string_at(&cursor, end, out, cap) == 1);
        FUZZ_CHECK(cursor > text + i && cursor <= end);
        FUZZ_CHECK(terminated_within(out, cap));
        // It stops right after a closing quote, or at end: a NUL inside
        // the span does not end the string.
        FUZZ_CHECK(cursor == end || cursor[-1] == '"');
        size_t room = len * 3 + 1;
        char *whole = (char *)malloc(room);
        const char *again = text + i;
        FUZZ_CHECK(json_read_string_at(&again, end, whole, room) == 1 && again == cursor);
        check_cut(out, whole, cap);
        free(whole);
        free(out);
    }
    char out[4];
    const char *cursor = text;
    if (len == 0 || text[0] != '"') {
        memset(out, SENTINEL, sizeof out);
        FUZZ_CHECK(json_read_string_at(&cursor, end, out, sizeof out) == 0 && cursor == text);
        FUZZ_CHECK(out[0] == SENTINEL);
    }
    const char *none = nullptr;
    FUZZ_CHECK(json_read_string_at(&none, end, out, sizeof out) == 0);
}

void check_last_line(const std::string &t) {
    Buf b = {};
    buf_addn(&b, t.data(), t.size());
    const char *line = last_json_line(&b);
    size_t expected = std::string::npos;
    for (size_t i = 0; i < t.size(); i++) {
        if (i > 0 && t[i - 1] != '\n') continue;
        size_t at = t.compare(i, 3, "\xEF\xBB\xBF") == 0 ? i + 3 : i;
        if (at < t.size() && t[at] == '{') expected = at;
    }
    if (expected == std::string::npos) {
        FUZZ_CHECK(line == nullptr);
    } else {
        FUZZ_CHECK(line == b.data + expected);
    }
    if (line) {
        // Every tool-answer reader runs on the answer, as the actions do:
        // from the line to the end of the capture, NULs and all.
        const char *end = b.data + b.len;
        StatusReport sr;
        read_status_report(line, end, &sr);
        FUZZ_CHECK(terminated_within(sr.error, sizeof sr.error));
        FUZZ_CHECK(terminated_within(sr.detail, sizeof sr.detail));
        FUZZ_CHECK(terminated_within(sr.account, sizeof sr.account));
        FUZZ_CHECK(sr.expires_at >= 0);
        StartAnswer sa;
        read_start_answer(line, end, &sa);
        FUZZ_CHECK(terminated_within(sa.verify_url, sizeof sa.verify_url));
        FUZZ_CHECK(terminated_within(sa.user_code, sizeof sa.user_code));
        FUZZ_CHECK(!sa.ok || (sa.interval >= 1 && sa.interval <= POLL_INTERVAL_MAX && sa.expires_in >= 1 &&
                              sa.expires_in <= CODE_LIFETIME_MAX));
        PollAnswer pa;
        PollOutcome po = read_poll_answer(line, end, &pa);
        FUZZ_CHECK(terminated_within(pa.state, sizeof pa.state));
        FUZZ_CHECK(po != POLL_PENDING || (pa.interval >= 1 && pa.interval <= POLL_INTERVAL_MAX));
        FUZZ_CHECK((po == POLL_FAILED) == (pa.ok == 0));
        int accepted = read_cancel_accepted(line, end);
        FUZZ_CHECK(accepted == 0 || accepted == 1);
        TokenAnswer ta;
        read_token_answer(line, end, &ta);
        FUZZ_CHECK(terminated_within(ta.org_id, sizeof ta.org_id));
        FUZZ_CHECK(ta.expires_at >= 0);
        ToolRefusal tr;
        read_tool_refusal(line, end, &tr);
        FUZZ_CHECK(terminated_within(tr.error, sizeof tr.error));
        FUZZ_CHECK(terminated_within(tr.detail, sizeof tr.detail));
    }
    Buf empty = {};
    FUZZ_CHECK(last_json_line(&empty) == nullptr);
    buf_free(&b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider in(data, size);
    size_t cap = in.ConsumeIntegralInRange<size_t>(1, 300);
    std::string own_key = up_to_nul(in.ConsumeRandomLengthString(160));
    std::string t = in.ConsumeRemainingBytesAsString();

    // The span alone, NULs and all, with nothing after it.
    char *text = (char *)malloc(t.size() ? t.size() : 1);
    memcpy(text, t.data(), t.size());
    const char *end = text + t.size();

    for (const char *key : KEYS) check_key(text, end, key, cap);
    check_key(text, end, own_key.c_str(), cap);
    FUZZ_CHECK(json_find_key(nullptr, nullptr, "ok") == nullptr);
    check_strings(text, t.size(), cap);
    check_last_line(up_to_nul(t));
    free(text);
    return 0;
}
