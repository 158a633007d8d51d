#include "cgi/emit.h"

#include <string.h>

#include "platform/platform.h"

const char JSON_HEADER[] =
    "Content-Type: application/json; charset=utf-8\r\n"
    "Cache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "\r\n";

const char UNAUTHORIZED_RESPONSE[] =
    "Status: 401 Unauthorized\r\n"
    "Content-Type: application/json; charset=utf-8\r\n"
    "Cache-Control: no-store\r\n"
    "\r\n"
    "{\"ok\":false,\"error\":\"invalid node password\"}\n";

void emit_json(Buf *b) {
    plat_write_stdout(JSON_HEADER, strlen(JSON_HEADER));
    if (b->data) plat_write_stdout(b->data, b->len);
    buf_free(b);
}

void emit_unauthorized(void) { plat_write_stdout(UNAUTHORIZED_RESPONSE, sizeof UNAUTHORIZED_RESPONSE - 1); }

int build_error(Buf *out, int status, const char *reason, const char *code, const char *detail) {
    int ok = buf_addf(out, "Status: %d %s\r\n%s", status, reason, JSON_HEADER);
    ok &= buf_adds(out, "{\"ok\":false,\"error\":");
    ok &= buf_json(out, code);
    if (detail[0]) {
        ok &= buf_adds(out, ",\"detail\":");
        ok &= buf_json(out, detail);
    }
    ok &= buf_adds(out, "}\n");
    return ok;
}

void emit_error(int status, const char *reason, const char *code, const char *detail) {
    Buf b = {};
    build_error(&b, status, reason, code, detail);
    if (b.data) plat_write_stdout(b.data, b.len);  // header and body in one write
    buf_free(&b);
}
