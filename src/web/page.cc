#include "web/page.h"

#include "platform/platform.h"
#include "web/assets.h"

// The HTML response header: 159 bytes, no Status: line. The page may be
// framed only by its own origin (the host's console frames it).
static const char PAGE_HEADER[] =
    "Content-Type: text/html; charset=utf-8\r\n"
    "Cache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "X-Frame-Options: SAMEORIGIN\r\n"
    "Referrer-Policy: same-origin\r\n"
    "\r\n";

void write_page(void) {
    plat_write_stdout(PAGE_HEADER, sizeof PAGE_HEADER - 1);
    // Written in runs between the markers; a marker stands for its block.
    size_t run_start = 0;
    for (size_t i = 0; i < PAGE_TEMPLATE_LEN; i++) {
        unsigned char c = PAGE_TEMPLATE[i];
        if (c != PAGE_MARK_THEME_HEAD && c != PAGE_MARK_THEME_BRIDGE) continue;
        plat_write_stdout(PAGE_TEMPLATE + run_start, i - run_start);
        if (c == PAGE_MARK_THEME_HEAD) {
            plat_write_stdout(THEME_HEAD, THEME_HEAD_LEN);
        } else {
            plat_write_stdout(THEME_BRIDGE, THEME_BRIDGE_LEN);
        }
        run_start = i + 1;
    }
    plat_write_stdout(PAGE_TEMPLATE + run_start, PAGE_TEMPLATE_LEN - run_start);
}
