// End-to-end harness: runs the built plugin exactly as a web host does,
// with an environment built from nothing, a fresh working directory, and
// stand-in tools that log their arguments and print what a case gives
// them. Each World is one such case; its directory is removed afterwards.
//
// The same cases run against two targets, chosen by the file linked in
// (target.h): the native program, and the Windows .exe under wine. A case
// names files by their path here (path(), write()) and gives the plugin
// the form it understands (native()); WINDOWS_TARGET selects the few
// expectations that differ.
#pragma once

#include <future>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "strict_json.h"

namespace e2e {

// The bytes the plugin wrote and how it ended.
struct Result {
    std::string out;
    std::string err;
    int exit_code = -1;  // -1 when it did not exit normally
    int signal = 0;      // the signal that ended it, if one did
    long long started = 0;   // wall clock at the start, seconds
    long long finished = 0;  // wall clock when standard output ended, seconds
};

// How long the children of the stand-ins below sleep.
constexpr int LONG_SLEEP_SEC = 20;   // a child left behind: far longer than any answer may take
constexpr int SHORT_SLEEP_SEC = 10;  // a tool past SHORT_LIMIT_SEC, and its child
// The time limit (LUMIVANE_TOOL_TIMEOUT) of the cases whose tools run past
// it: long enough for a stand-in to start and note its run on a machine
// whose cores are busy with other work (a process start under wine can
// then take seconds), and well below SHORT_SLEEP_SEC, so that a sleeper the
// program failed to end leaves its file after the answer.
constexpr int SHORT_LIMIT_SEC = 5;
constexpr long long FLOOD_BYTES = 300000000;  // NUL bytes before the answer

// What a stand-in does besides answering, on both targets.
enum class Act {
    ANSWER,         // answers and ends
    LEAVE_CHILD,    // answers and ends, leaving a child that holds its standard
                    // output and sleeps LONG_SLEEP_SEC (its id goes to logs/<name>.bg)
    READ_STDIN,     // reads standard input to its end, then answers
                    // {"ok":true,"account":"stdin-<bytes read>"}
    LIST_ENV,       // writes the names of its environment to logs/<name>.env, one a line,
                    // and its whole entries (NAME=value, UTF-8) to logs/<name>.vars, then answers
    NUL_FLOOD,      // writes FLOOD_BYTES NUL bytes, then answers
    ENDLESS_NULS,   // writes NUL bytes without end
    SLEEP,          // starts a child, and both sleep SHORT_SLEEP_SEC; each that lives
                    // that long creates survived-<name>-tool / survived-<name>-child
    KILLED,         // answers, then is killed instead of exiting: by SIGKILL (POSIX), or
                    // with the exception status a crash ends a process with (Windows)
    STAY,           // answers, closes its standard output, and goes on for LONG_SLEEP_SEC
    SAVE_LATER,     // answers, closes its standard output, and SHORT_SLEEP_SEC later
                    // saves its state: creates survived-<name>-tool (POSIX only)
    JOIN_PLUGIN_GROUP,  // moves into the process group of its parent (the plugin),
                    // then as SLEEP without the child: survived-<name>-tool (POSIX only)
};

// What a stand-in tool does for one option text.
struct Reply {
    std::string out;        // written to standard output, byte for byte
    int exit_code;
    std::string err;        // written to standard error
    std::string before;     // shell commands run first (in the world's directory)
    Act act = Act::ANSWER;

    Reply(std::string out_ = "", int exit_code_ = 0, std::string err_ = "", std::string before_ = "")
        : out(std::move(out_)), exit_code(exit_code_), err(std::move(err_)), before(std::move(before_)) {}
};

class World {
public:
    World();
    ~World();
    World(const World &) = delete;
    World &operator=(const World &) = delete;

    std::string dir;                           // fresh working directory
    std::map<std::string, std::string> env;    // the plugin's whole environment
    // A host that ignores SIGCHLD, which the plugin inherits (native only).
    bool host_ignores_sigchld = false;
    // A host that leaves the plugin this many descriptors at most
    // (RLIMIT_NOFILE; native only); 0 leaves the limit as it is.
    int host_descriptor_limit = 0;
    // With hold_stdin, the plugin's standard input is a pipe that holds
    // stdin_body and stays open until the plugin ends, as a request body
    // from a host may; otherwise it is the null device.
    bool hold_stdin = false;
    std::string stdin_body;
    // Under wine: the ANSI code page of the Windows machine that runs the
    // plugin, 1252 (Western Europe, the Americas) or 1251 (Cyrillic). The
    // native target has none and ignores it.
    int code_page = 1252;
    // Where tool() puts its stand-ins, relative to dir (UTF-8).
    std::string bin_dir = "bin";

    std::string path(const std::string &rel) const;
    // The same path as the plugin sees it: path() natively, Z:\... under wine.
    std::string native(const std::string &rel) const;
    // The world's directory as the plugin sees it, with no trailing
    // separator: the value a home-directory variable is given.
    std::string native_dir() const;
    // Writes a file (parents created) relative to dir, or at an absolute path.
    void write(const std::string &rel, const std::string &content) const;
    bool exists(const std::string &rel) const;
    std::string read(const std::string &rel) const;

    // Creates an executable stand-in at <bin_dir>/<name> (<name>.exe on
    // Windows). Each run appends its arguments (joined by spaces) as one
    // line to logs/<name>.log, then acts on the reply whose key equals the
    // joined arguments, else on `other`. Returns the tool's command as the
    // plugin is to be given it.
    std::string tool(const std::string &name, const std::map<std::string, Reply> &replies,
                     const Reply &other = Reply{});
    // The login tool and token tool, wired into LUMIVANE_LOGIN_BIN / _TOKEN_BIN.
    void login_tool(const std::map<std::string, Reply> &replies, const Reply &other = Reply{});
    void token_tool(const std::map<std::string, Reply> &replies, const Reply &other = Reply{});

    // Writes an executable POSIX shell script holding `body` at rel and
    // returns its path: a tool of the case's own making (native only).
    std::string script(const std::string &rel, const std::string &body) const;

    // The option texts a tool was run with, in order.
    std::vector<std::string> runs(const std::string &name) const;

    // Runs the plugin with the given command-line arguments.
    Result run(const std::vector<std::string> &args = {}) const;
    // Runs a request: QUERY_STRING set to query, no arguments.
    Result request(const std::string &query);
    // The same, carried out in the background: the environment is taken
    // now, and the result comes when the plugin has ended. Several may run
    // at once.
    std::future<Result> request_in_background(const std::string &query);
};

// A node with both tools: the login tool answers --status with
// `status_answer` and every other option as `login` gives it (a "--status"
// there wins); the token tool answers its --help probe.
struct NodeWorld : World {
    explicit NodeWorld(const std::map<std::string, Reply> &login = {},
                       const std::string &status_answer = "{\"ok\":true}\n");
};

// A reply that also does `act`.
Reply acting(Act act, const std::string &out = "", int exit_code = 0);

// Which program the cases run: the Windows .exe under wine, or the native one.
extern const bool WINDOWS_TARGET;
// The separator the plugin puts into the paths it composes.
extern const char NATIVE_SEP;
// The exit status with which the command interpreter reports a command it
// cannot find (127 from sh, 9009 from cmd); a tool that ends with it
// itself reads as not installed.
extern const int NOT_FOUND_STATUS;

// Cases written for one target alone: the one way to mark them. A row of
// a table carries its Only and the loop passes over it unless
// runs_here(c.only); a whole test with no counterpart on Windows opens with
// E2E_POSIX_ONLY(why), which reports it as skipped under wine.
enum Only { ANY_TARGET, POSIX_ONLY, WINDOWS_ONLY };
bool runs_here(Only only);
#define E2E_POSIX_ONLY(why) \
    if (!e2e::runs_here(e2e::POSIX_ONLY)) GTEST_SKIP() << "POSIX only: " << (why)

// Shell-quotes a text as one word.
std::string sh_quote(const std::string &s);

// The value of the document's "now" member, or -1.
long long doc_now(const std::string &out);

// A response read as a JSON document, strictly: the one way the cases read
// what the program answered. `valid` holds when the response has a header
// block and its body is one JSON object of unique keys in valid UTF-8; the
// members are empty otherwise (and every lookup reads "(absent)").
struct Doc {
    bool valid = false;
    std::string head;  // the header block with its blank line; "" when there is none
    std::string body;  // everything after it; "" when there is no header block
    std::vector<JsonScan::Member> members;

    // The decoded text of a string member, the raw text of any other, or
    // "(absent)".
    std::string operator[](const std::string &key) const;
    // The member's value as written in the document (a string with its
    // quotes and escapes), or "(absent)".
    std::string raw(const std::string &key) const;
    // Whether the body holds `text` anywhere.
    bool has(const std::string &text) const { return body.find(text) != std::string::npos; }
};
Doc read_doc(const Result &r);

// n times "./" then name: a relative path of any length that names `name`.
std::string dots(int n, const std::string &name);

// A path as the status document writes it: JSON escapes the backslash.
std::string json_path(const std::string &p);

// A pending marker created now.
std::string pending_marker();

// The name the plugin gives a file's content ("pending_id"): the first 16
// hexadecimal digits of its SHA-256, computed here by the system's
// sha256sum so that the expectation does not share the plugin's code.
// "" when the file cannot be read.
std::string content_id_of(const World &w, const std::string &rel);

// Checks the status answer of a node whose every file was found: signed
// in, a login pending, the profile there, and the credentials at
// `creds_path` (as the plugin writes that path).
void expect_everything_found(const Result &r, const std::string &creds_path);

// The fixed header block of every JSON response.
extern const char JSON_HEADER[];

// Token values planted in credentials files, markers and tool answers: no
// response may ever carry them, whole or in part. Both begin with
// PLANTED_PREFIX, which no response text holds otherwise.
// (Inline variables: initialised before anything a test file defines
// after including this header.)
inline const char PLANTED_PREFIX[] = "PLANTED-";
inline const char ACCESS_SECRET[] = "PLANTED-ACCESS-7f3a9e";
inline const char REFRESH_SECRET[] = "PLANTED-REFRESH-c41d0b";
// "access_token":"<ACCESS_SECRET>","refresh_token":"<REFRESH_SECRET>", to
// be placed among the members of a JSON object.
inline const std::string SECRET_MEMBERS = std::string("\"access_token\":\"") + ACCESS_SECRET +
                                          "\",\"refresh_token\":\"" + REFRESH_SECRET + "\"";
// A credentials file holding both secrets, valid until 2100-01-01.
inline const std::string SECRET_CREDS = "{" + SECRET_MEMBERS + ",\"expires_at\":4102444800}";

// Fails the current test when r's output holds any part of a planted
// secret, or when anything was written to standard error.
void expect_no_secret(const Result &r);

}  // namespace e2e
