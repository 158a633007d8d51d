#include "tools/tool_contract.h"

#include <stdio.h>
#include <string.h>

#include "base/buf.h"
#include "base/utf8.h"
#include "json/json_reader.h"

const ToolOptions LOGIN_STATUS = {{"--status"}, 1};
const ToolOptions LOGIN_START = {{"--start"}, 1};
const ToolOptions LOGIN_START_FORCE = {{"--start", "--force"}, 2};
const ToolOptions LOGIN_POLL = {{"--poll"}, 1};
const ToolOptions LOGIN_CANCEL = {{"--cancel"}, 1};
const ToolOptions TOKEN_PROBE = {{"--help"}, 1};
const ToolOptions TOKEN_LOCAL = {{"-local"}, 1};

const char LOGIN_MISSING_DETAIL[] = LOGIN_TOOL_DEFAULT " is not on this node";
const char TOKEN_MISSING_DETAIL[] = TOKEN_TOOL_DEFAULT " is not on this node";
const char LOGIN_TIMEOUT_DETAIL[] = "login CLI timed out";
const char TOKEN_TIMEOUT_DETAIL[] = "token CLI timed out";
const char LOGIN_TOOL_LABEL[] = "login CLI";

const char *last_json_line(const Buf *b) {
    if (!b->data || b->len == 0) return nullptr;
    const char *found = nullptr;
    for (size_t i = 0; i < b->len; i++) {
        if (i != 0 && b->data[i - 1] != '\n') continue;
        // A line may open with a byte-order mark; it then counts from its brace.
        size_t at = i;
        if (b->len - i > UTF8_BOM_LEN && memcmp(b->data + i, UTF8_BOM, UTF8_BOM_LEN) == 0) at = i + UTF8_BOM_LEN;
        if (b->data[at] == '{') found = b->data + at;
    }
    return found;
}

long long expiry_seconds(long long value) {
    if (value <= 0) return 0;
    return value > MILLISECOND_THRESHOLD ? value / 1000 : value;
}

void read_status_report(const char *line, const char *end, StatusReport *r) {
    memset(r, 0, sizeof *r);
    r->ok = json_bool_field(line, end, "ok", 0);
    if (!r->ok) {
        json_str_field(line, end, "error", r->error, sizeof r->error);
        json_str_field(line, end, "detail", r->detail, sizeof r->detail);
    }
    json_str_field(line, end, "account", r->account, sizeof r->account);
    r->expires_at = expiry_seconds(json_num_field(line, end, "expires_at"));
    r->logged_in = json_bool_field(line, end, "logged_in", 0);
    r->has_refresh = json_bool_field(line, end, "has_refresh", 0);
    r->pending = json_bool_field(line, end, "pending", 0);
    r->profile_exists = json_bool_field(line, end, "profile_exists", 0);
}

// The number at key when it lies in 1..max, else the default. The range is
// tested on the 64-bit value, before any narrowing.
static long long number_in_range(const char *line, const char *end, const char *key, long long max,
                                 long long fallback) {
    long long v = json_num_field(line, end, key);
    return (v >= 1 && v <= max) ? v : fallback;
}

void read_start_answer(const char *line, const char *end, StartAnswer *a) {
    memset(a, 0, sizeof *a);
    a->ok = json_bool_field(line, end, "ok", 0);
    if (a->ok) {
        // A cut address or code would send the operator to the wrong page
        // or have them type a wrong code: one that does not fit is none.
        json_str_field_whole(line, end, "verify_url", a->verify_url, sizeof a->verify_url);
        json_str_field_whole(line, end, "user_code", a->user_code, sizeof a->user_code);
        a->interval = (int)number_in_range(line, end, "interval", POLL_INTERVAL_MAX, DEFAULT_POLL_INTERVAL);
        a->expires_in = number_in_range(line, end, "expires_in", CODE_LIFETIME_MAX, DEFAULT_CODE_LIFETIME);
    } else {
        json_str_field(line, end, "error", a->error, sizeof a->error);
        json_str_field(line, end, "detail", a->detail, sizeof a->detail);
    }
}

PollOutcome read_poll_answer(const char *line, const char *end, PollAnswer *a) {
    memset(a, 0, sizeof *a);
    json_str_field(line, end, "state", a->state, sizeof a->state);
    a->ok = json_bool_field(line, end, "ok", 0);
    if (!a->ok) {
        json_str_field(line, end, "error", a->error, sizeof a->error);
        json_str_field(line, end, "detail", a->detail, sizeof a->detail);
        return POLL_FAILED;
    }
    if (strcmp(a->state, "done") == 0) return POLL_DONE;
    a->logged_in = json_bool_field(line, end, "logged_in", 0);
    if (a->logged_in) return POLL_DONE;
    a->interval = (int)number_in_range(line, end, "interval", POLL_INTERVAL_MAX, DEFAULT_POLL_INTERVAL);
    return POLL_PENDING;
}

int read_cancel_accepted(const char *line, const char *end) { return json_bool_field(line, end, "ok", 1); }

int cancel_run_succeeded(const ToolExit *how) { return how->exited && how->code == 0; }

void describe_tool_end(const char *label, const ToolExit *how, char *out, size_t cap) {
    if (how->exited) {
        snprintf(out, cap, "%s exited with status %lu", label, how->code);
    } else if (how->killed) {
        snprintf(out, cap, "%s was killed", label);
    } else {
        snprintf(out, cap, "%s did not exit", label);
    }
}

void read_tool_refusal(const char *line, const char *end, ToolRefusal *r) {
    memset(r, 0, sizeof *r);
    json_str_field(line, end, "error", r->error, sizeof r->error);
    json_str_field(line, end, "detail", r->detail, sizeof r->detail);
}

void read_token_answer(const char *line, const char *end, TokenAnswer *a) {
    memset(a, 0, sizeof *a);
    a->expires_at = expiry_seconds(json_num_field(line, end, "expires_at"));
    a->has_access_token = json_str_present(line, end, "access_token");
    json_str_field(line, end, "org_id", a->org_id, sizeof a->org_id);
}
