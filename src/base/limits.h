// Every size and time limit of the program, named once, with its reason.
// A bare number in the logic is a question the reader has to answer; these
// are the answers. Numbers that a protocol or a system fixes (the shell's
// not-found status 127, port 65535, U+FFFD, SHA-256's 32 bytes, a UTF-8
// character's 4) are no limits of ours: they stay beside the rule that
// uses them.
#pragma once

#include <stddef.h>

// Fixed-capacity texts (capacity includes the terminating NUL).
constexpr size_t PATH_CAP = 1024;         // any file path
constexpr size_t HOME_CAP = 512;          // the home directory text
constexpr size_t NAME_CAP = 256;          // account, organisation, profile
constexpr size_t ERROR_TEXT_CAP = 512;    // error and detail texts
constexpr size_t ACTION_CAP = 64;         // the `action` query value
constexpr size_t STATE_CAP = 64;          // a tool's `state` / `user_code`
constexpr size_t VERIFY_URL_CAP = 1024;   // the verification address a login tool gives
constexpr size_t JSON_KEY_CAP = 128;      // a decoded candidate key
constexpr size_t HOST_SHOWN_MAX = 261;    // bytes of a refused Host header shown: a 253-byte name and ":65535" fit
// The profile directory beside a credentials file is taken only when the
// file's directory followed by "vantorel-env" still leaves this many bytes
// of a path spare: a credentials directory of at most 1,007 bytes. A longer
// one has always sent the profile to the home rule, and a node may rely on
// where it is looked for.
constexpr size_t PROFILE_DIR_SPARE = 4;

// Response buffer.
constexpr size_t BUF_FIRST_CAP = 1024;              // first allocation
constexpr size_t BUF_MAX_CAP = 64u * 1024 * 1024;   // 67,108,864 bytes
constexpr size_t BUF_FORMAT_SCRATCH = 2048;         // one buf_addf result

// Files and tools.
constexpr unsigned long long FILE_MAX_BYTES = 8u * 1024 * 1024;  // read_file cap
constexpr size_t CAPTURE_LIMIT = 256u * 1024;   // captured tool output in total
constexpr size_t READ_BLOCK_CAP = 16384;        // one block read from the tool's pipe
// A capture cut short keeps whole pieces only: a line with its line feed,
// or this many bytes of a longer line (a 2,048-byte line buffer less its
// NUL, the piece a tool's answer has always been read in).
constexpr size_t CAPTURE_PIECE_MAX = 2047;
// A tool command; a longer one is refused, never cut. 509 bytes is what
// fitted inside the single-quoted word (511 characters with its quotes)
// when tools ran through a shell: every command a node ran then still
// runs, and one that was cut then is refused now.
constexpr size_t TOOL_COMMAND_MAX = 509;
constexpr int TOOL_OPTION_WORDS_MAX = 8;        // option words of one tool run
constexpr long long DEFAULT_TOOL_TIMEOUT_SEC = 60;  // a request's time; LUMIVANE_TOOL_TIMEOUT unset or unusable
constexpr size_t TOOL_TIMEOUT_DIGITS_MAX = 9;   // a longer LUMIVANE_TOOL_TIMEOUT is unusable
// The classic Windows path limit, NUL included: a longer absolute path
// goes to the wide calls in the \\?\ form, which has none.
constexpr size_t WIN_MAX_PATH = 260;
// A path in UTF-16 for the wide calls: a path text's 1,023 bytes are at
// most 1,023 units, and the \\?\UNC\ prefix adds at most 8.
constexpr size_t WIDE_PATH_CAP = PATH_CAP + 8;
// How long a tool whose output has ended may take to exit before it is left
// running and its answer used: a tool that only closes its pipes first
// exits well within it.
constexpr long long TOOL_EXIT_GRACE_MS = 2000;
// The token tool's presence probe (--help) gets this long, within the
// request's deadline, and then is ended: it runs beside the login tool and
// must never hold a request up for long. A tool that has started counts
// as there, whether it has finished by then or not.
constexpr long long TOKEN_PROBE_MAX_MS = 2000;
// How long a tool ended at its deadline is waited for before it is left:
// the end is immediate unless the system holds the process (POSIX: an
// uninterruptible wait on a dead file server).
constexpr long long KILLED_EXIT_WAIT_MS = 1000;
// Without a process descriptor (an old Linux kernel), how often the exit
// of a tool is looked for while waiting.
constexpr int EXIT_CHECK_MS = 10;
// How long a request waiting for the node lock sleeps between two tries:
// short beside the time a tool run takes, long enough not to spin.
constexpr long long LOCK_RETRY_MS = 20;
// Room for the node lock's name ("lumivane-node-" and 64 hexadecimal
// digits) with its NUL, and for "Local\" before it on Windows.
constexpr size_t LOCK_NAME_CAP = 96;
// The longest command line CreateProcess takes, NUL included.
constexpr size_t WIN_COMMAND_LINE_CAP = 32768;
// The buffer of a tool's output pipe on Windows.
constexpr unsigned long WIN_PIPE_BUFFER = 65536;
// The name of a tool's output pipe on Windows ("\\.\pipe\lumivane-tool-",
// the process id and a pointer in hexadecimal), NUL included.
constexpr size_t WIN_PIPE_NAME_CAP = 128;
// The security records the node lock's mutex is made with on Windows: the
// process user's SID (at most 68 bytes) and an ACL with one entry for it.
constexpr size_t WIN_SECURITY_RECORD_CAP = 256;
// One read request on Windows (ReadFile counts in a DWORD): 256 MiB, far
// below the DWORD's limit, so that a length never wraps when it is narrowed.
constexpr unsigned long WIN_READ_REQUEST_MAX = 0x10000000u;

// Time rules.
constexpr long long PENDING_WINDOW_SEC = 900;            // a login stays pending this long
constexpr long long MILLISECOND_THRESHOLD = 100000000000LL;  // larger expiry values are ms
constexpr long long DEFAULT_POLL_INTERVAL = 5;
constexpr long long DEFAULT_CODE_LIFETIME = 900;
// A tool's pace and code lifetime are believed only within these bounds
// (from 1 second); any other value reads as the default above.
constexpr long long POLL_INTERVAL_MAX = 3600;   // an hour between polls
constexpr long long CODE_LIFETIME_MAX = 86400;  // a day
