// What the plugin passes to the login and token tools and what it reads
// back: the option texts, and one reader per kind of answer. Each reader
// takes the tool's answer as a span, from its last JSON line to the end of
// the capture (NUL bytes inside it are read like any other), and fills a
// plain record; token values are only ever tested for presence, never
// copied. Files: tool_contract.cc (the texts and the readers, pure) and
// tool_run.cc (run_for_json_line, the one step that runs a tool).
#pragma once

#include "base/limits.h"
#include "platform/platform.h"

struct Buf;

// The commands of the two tools when LUMIVANE_LOGIN_BIN and
// LUMIVANE_TOKEN_BIN are unset or empty (login_bin, token_bin: runner.h).
// Macros, so that the "tool missing" details below are composed from them.
#define LOGIN_TOOL_DEFAULT "vantorel-lumivane-login"
#define TOKEN_TOOL_DEFAULT "vantorel-lumivane-fetchtoken"

// The options of one tool run, word by word as the tool receives them:
// fixed texts, never anything from the request.
struct ToolOptions {
    const char *words[TOOL_OPTION_WORDS_MAX];  // the first `count` are set
    int count;
};
extern const ToolOptions LOGIN_STATUS;       // --status
extern const ToolOptions LOGIN_START;        // --start
extern const ToolOptions LOGIN_START_FORCE;  // --start --force
extern const ToolOptions LOGIN_POLL;         // --poll
extern const ToolOptions LOGIN_CANCEL;       // --cancel
extern const ToolOptions TOKEN_PROBE;        // --help
extern const ToolOptions TOKEN_LOCAL;        // -local

// The detail texts of the "tool missing" errors name the default commands.
extern const char LOGIN_MISSING_DETAIL[];  // LOGIN_TOOL_DEFAULT " is not on this node"
extern const char TOKEN_MISSING_DETAIL[];  // TOKEN_TOOL_DEFAULT " is not on this node"
// The detail of every answer to a run that timed out names the tool whose
// run it was: the login tool's, or the token tool's.
extern const char LOGIN_TIMEOUT_DETAIL[];  // "login CLI timed out"
extern const char TOKEN_TIMEOUT_DETAIL[];  // "token CLI timed out"
// How the login tool is named in a detail text.
extern const char LOGIN_TOOL_LABEL[];      // "login CLI"

// The start of the last line of b that begins with '{' (after a UTF-8
// byte-order mark, when the line opens with one), or null. The result is
// the brace itself; the answer runs on to b->data + b->len, over any NUL
// bytes in between (ToolLine).
const char *last_json_line(const Buf *b);

// A tool's answer: its last JSON line, which runs on to the end of the
// capture. Only end ends it; a NUL byte before end is part of the answer.
struct ToolLine {
    const char *text;  // the line's opening brace; null when there is no answer
    const char *end;   // one past the capture's last byte (null with text)
    ToolExit how;      // how the tool ended (run_capture)
};

// Runs the command with its options (run_capture; defined in tool_run.cc), capturing
// into `capture` (an empty Buf that the caller frees afterwards), and
// returns the run's result. A run that ran (TOOL_RAN) either answered,
// *line then holding its last JSON line, or printed no line that begins
// with '{' ("no JSON"), line->text then null. For every other result
// line->text is null: what a tool printed before it timed out is not read.
ToolResult run_for_json_line(const char *command, const ToolOptions *options, Buf *capture, ToolLine *line);

// An expiry as tools and credentials write it: a value above
// MILLISECOND_THRESHOLD is milliseconds. Returns seconds, or 0 for none.
long long expiry_seconds(long long value);

// --status: every key is optional; the caller merges only what it lacks.
struct StatusReport {
    int ok;                        // "ok", fallback 0
    char error[ERROR_TEXT_CAP];    // read only when !ok; empty when absent
    char detail[ERROR_TEXT_CAP];   // read only when !ok; empty when absent
    char account[NAME_CAP];        // empty when absent
    long long expires_at;          // seconds, 0 when none
    int logged_in, has_refresh, pending, profile_exists;  // fallback 0
};
void read_status_report(const char *line, const char *end, StatusReport *r);

// --start
struct StartAnswer {
    int ok;                        // fallback 0
    char verify_url[VERIFY_URL_CAP];  // read when ok; empty when absent or too long to hold whole
    char user_code[STATE_CAP];     // read when ok; empty when absent or too long to hold whole
    int interval;                  // read when ok; outside 1..POLL_INTERVAL_MAX: DEFAULT_POLL_INTERVAL
    long long expires_in;          // read when ok; outside 1..CODE_LIFETIME_MAX: DEFAULT_CODE_LIFETIME
    char error[ERROR_TEXT_CAP];    // read when !ok; empty when absent or null
    char detail[ERROR_TEXT_CAP];   // read when !ok
};
void read_start_answer(const char *line, const char *end, StartAnswer *a);

// --poll
struct PollAnswer {
    char state[STATE_CAP];
    int ok;                        // fallback 0
    int logged_in;                 // read only when ok and state is not "done"
    int interval;                  // read only on the pending path; outside 1..POLL_INTERVAL_MAX: 5
    char error[ERROR_TEXT_CAP];    // read when !ok
    char detail[ERROR_TEXT_CAP];
};
enum PollOutcome { POLL_FAILED, POLL_DONE, POLL_PENDING };
PollOutcome read_poll_answer(const char *line, const char *end, PollAnswer *a);

// --cancel: 1 when the tool accepted (a line without "ok" counts as yes).
int read_cancel_accepted(const char *line, const char *end);
// A --cancel run without a JSON line cancelled only when the tool exited
// with status 0: 1 then, else 0.
int cancel_run_succeeded(const ToolExit *how);

// Says in out how a tool that gave no answer ended: "<label> exited with
// status N", "<label> was killed", or "<label> did not exit" (left
// running). Cut at cap - 1.
void describe_tool_end(const char *label, const ToolExit *how, char *out, size_t cap);

// The tool's own reason for a refusal (a cancel it did not accept, a token
// it did not give): its "error" code and "detail" text, each empty when
// absent, null or not a text. Passed on to the operator as the tool wrote
// them, so that a provider's "invalid_grant" reaches the page as such.
struct ToolRefusal {
    char error[ERROR_TEXT_CAP];
    char detail[ERROR_TEXT_CAP];
};
void read_tool_refusal(const char *line, const char *end, ToolRefusal *r);

// -local
struct TokenAnswer {
    long long expires_at;          // seconds, 0 when none
    int has_access_token;          // a non-empty "access_token" string
    char org_id[NAME_CAP];
};
void read_token_answer(const char *line, const char *end, TokenAnswer *a);
