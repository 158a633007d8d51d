#include "web/page.h"

#include "platform/platform.h"

// Placeholder until the console lands: the header and a minimal body.
static const char PAGE_HEADER[] =
    "Content-Type: text/html; charset=utf-8\r\n"
    "Cache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "X-Frame-Options: SAMEORIGIN\r\n"
    "Referrer-Policy: same-origin\r\n"
    "\r\n";
static const char PAGE_BODY[] = "<!DOCTYPE html>\n<html lang=\"en\"><body></body></html>\n";

void write_page(void) {
    plat_write_stdout(PAGE_HEADER, sizeof PAGE_HEADER - 1);
    plat_write_stdout(PAGE_BODY, sizeof PAGE_BODY - 1);
}
