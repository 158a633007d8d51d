#include "web/page.h"

#include <string.h>

#include "platform/platform.h"
#include "web/assets.h"

// The HTML response header, with no Status: line, in two pieces around
// the Content-Security-Policy value that the build computed. The page may
// be framed only by its own origin (the host's console frames it).
static const char PAGE_HEADER[] =
    "Content-Type: text/html; charset=utf-8\r\n"
    "Cache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "X-Frame-Options: SAMEORIGIN\r\n"
    "Referrer-Policy: same-origin\r\n"
    "Content-Security-Policy: ";
static const char PAGE_HEADER_END[] = "\r\n\r\n";

static const char REFUSAL_STATUS[] = "Status: 401 Unauthorized\r\n";

void write_refusal_page(void) {
    plat_write_stdout(REFUSAL_STATUS, sizeof REFUSAL_STATUS - 1);
    plat_write_stdout(PAGE_HEADER, sizeof PAGE_HEADER - 1);
    plat_write_stdout(REFUSAL_POLICY, REFUSAL_POLICY_LEN);
    plat_write_stdout(PAGE_HEADER_END, sizeof PAGE_HEADER_END - 1);
    plat_write_stdout(REFUSAL_PAGE, REFUSAL_PAGE_LEN);
}

void write_page(void) {
    plat_write_stdout(PAGE_HEADER, sizeof PAGE_HEADER - 1);
    plat_write_stdout(PAGE_POLICY, PAGE_POLICY_LEN);
    plat_write_stdout(PAGE_HEADER_END, sizeof PAGE_HEADER_END - 1);
    // Written in runs between the markers; a marker stands for its block.
    // The template holds no NUL before its end, so the C library's fast
    // span search finds each marker.
    static const char MARKERS[] = {(char)PAGE_MARK_THEME_HEAD, (char)PAGE_MARK_THEME_BRIDGE, '\0'};
    const char *p = (const char *)PAGE_TEMPLATE;
    const char *end = p + PAGE_TEMPLATE_LEN;
    while (p < end) {
        size_t run = strcspn(p, MARKERS);
        plat_write_stdout(p, run);
        p += run;
        if (p == end) break;
        if ((unsigned char)*p == PAGE_MARK_THEME_HEAD) {
            plat_write_stdout(THEME_HEAD, THEME_HEAD_LEN);
        } else {
            plat_write_stdout(THEME_BRIDGE, THEME_BRIDGE_LEN);
        }
        p++;
    }
}
