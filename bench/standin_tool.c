/* Stand-in for the login tool and the token tool during benchmarks.
 *
 * It answers each option the plugin passes with one canned JSON line and
 * does nothing else, so that a benchmark sees the plugin's own cost and
 * not a real tool's. Built static so that its start-up is as short as a
 * process start can be. Compiled with -DSLEEP_MS=n it waits n ms first:
 * the slow stand-in used to see whether the two tools of a status
 * collection overlap.
 *
 * BENCH_STATUS_BYTES=n makes the --status answer exactly n bytes long:
 * filler lines of 64 bytes, then the JSON line (the plugin reads the last
 * line that begins with '{'). Used to see how the cost grows with the
 * size of a tool's output. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static const char STATUS_LINE[] =
    "{\"ok\":true,\"logged_in\":true,\"has_refresh\":true,\"account\":\"bench@example.invalid\","
    "\"expires_at\":4102444800000,\"pending\":false,\"profile_exists\":true}\n";
static const char START_LINE[] =
    "{\"ok\":true,\"verify_url\":\"https://example.invalid/device\",\"user_code\":\"BNCH-2024\","
    "\"interval\":5,\"expires_in\":900}\n";
static const char POLL_LINE[] = "{\"ok\":true,\"state\":\"pending\",\"interval\":5}\n";
static const char CANCEL_LINE[] = "{\"ok\":true}\n";
static const char LOCAL_LINE[] =
    "{\"ok\":true,\"access_token\":\"not-a-real-token\",\"expires_at\":4102444800,"
    "\"org_id\":\"org-bench\"}\n";
static const char HELP_TEXT[] = "usage: token-tool [-local] [--help]\n";

static void put(const char *text) { fwrite(text, 1, strlen(text), stdout); }

static void put_status(void) {
    const char *want = getenv("BENCH_STATUS_BYTES");
    size_t line = sizeof STATUS_LINE - 1;
    size_t total = want ? (size_t)strtoull(want, NULL, 10) : 0;
    if (total > line) {
        static char filler[64];
        memset(filler, 'x', sizeof filler - 1);
        filler[sizeof filler - 1] = '\n';
        size_t left = total - line;
        while (left >= sizeof filler) {
            fwrite(filler, 1, sizeof filler, stdout);
            left -= sizeof filler;
        }
        if (left > 0) {  /* a short last filler line, still ending in '\n' */
            fwrite(filler + sizeof filler - left, 1, left, stdout);
        }
    }
    put(STATUS_LINE);
}

int main(int argc, char **argv) {
#ifdef SLEEP_MS
    struct timespec ts = {SLEEP_MS / 1000, (SLEEP_MS % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
#endif
    const char *opt = argc > 1 ? argv[1] : "";
    if (strcmp(opt, "--status") == 0) {
        put_status();
    } else if (strcmp(opt, "--start") == 0) {
        put(START_LINE);
    } else if (strcmp(opt, "--poll") == 0) {
        put(POLL_LINE);
    } else if (strcmp(opt, "--cancel") == 0) {
        put(CANCEL_LINE);
    } else if (strcmp(opt, "-local") == 0) {
        put(LOCAL_LINE);
    } else {
        put(HELP_TEXT);
    }
    return 0;
}
