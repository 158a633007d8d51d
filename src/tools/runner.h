// Runs the two outside tools through the command interpreter and captures
// their standard output. The command is always one word that the
// interpreter never interprets; nothing from the request ever reaches it.
//
// Results, here and in every caller:
//    1  the tool ran, whatever its exit code;
//    0  no command is set, it cannot be written as one word, or it cannot
//       be started (the capture is left untouched);
//   -1  the interpreter reported the command as not found.
#pragma once

#include "platform/platform.h"

struct Buf;

// The login tool's command: LUMIVANE_LOGIN_BIN when set and non-empty,
// else "vantorel-lumivane-login". Read anew on every call; not owned.
const char *login_bin(void);
// The token tool's command: LUMIVANE_TOKEN_BIN, else "vantorel-lumivane-fetchtoken".
const char *token_bin(void);

// Runs `command args` and appends up to CAPTURE_LIMIT bytes of its standard
// output to out, in whole pieces, then trims trailing whitespace. The
// caller passes an empty Buf and frees it afterwards.
int run_capture(const char *command, const char *args, Buf *out);

// A run whose output is not wanted, started now and collected later so
// that it overlaps other work.
struct ToolProbe {
    PlatProcess process;
    int result;  // 0 when it could not be started; else decided by probe_finish
};

void probe_start(const char *command, const char *args, ToolProbe *probe);
// Waits for the probe; same results as run_capture.
int probe_finish(ToolProbe *probe);
