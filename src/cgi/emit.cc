#include "cgi/emit.h"

#include <string.h>

#include "platform/platform.h"

#define JSON_HEADER_TEXT                                   \
    "Content-Type: application/json; charset=utf-8\r\n" \
    "Cache-Control: no-store\r\n"                        \
    "X-Content-Type-Options: nosniff\r\n"                \
    "\r\n"

const char JSON_HEADER[] = JSON_HEADER_TEXT;

const char UNAUTHORIZED_RESPONSE[] =
    "Status: 401 Unauthorized\r\n"
    "Content-Type: application/json; charset=utf-8\r\n"
    "Cache-Control: no-store\r\n"
    "X-Content-Type-Options: nosniff\r\n"
    "\r\n"
    "{\"ok\":false,\"error\":\"invalid node password\"}\n";

const char BUILD_FAILED_RESPONSE[] =
    "Status: 500 Internal Server Error\r\n" JSON_HEADER_TEXT
    "{\"ok\":false,\"error\":\"response_failed\",\"detail\":\"the response could not be built\"}\n";

static void write_build_failed(void) {
    plat_write_stdout(BUILD_FAILED_RESPONSE, sizeof BUILD_FAILED_RESPONSE - 1);
}

void emit_json(Buf *b) {
    if (b->failed) {
        write_build_failed();
    } else {
        plat_write_stdout(JSON_HEADER, strlen(JSON_HEADER));
        if (b->data) plat_write_stdout(b->data, b->len);
    }
    buf_free(b);
}

void emit_unauthorized(void) { plat_write_stdout(UNAUTHORIZED_RESPONSE, sizeof UNAUTHORIZED_RESPONSE - 1); }

int build_error(Buf *out, int status, const char *reason, const char *code, const char *detail) {
    buf_addf(out, "Status: %d %s\r\n%s", status, reason, JSON_HEADER);
    buf_adds(out, "{\"ok\":false,\"error\":");
    buf_json(out, code);
    if (detail[0]) {
        buf_adds(out, ",\"detail\":");
        buf_json(out, detail);
    }
    buf_adds(out, "}\n");
    return !out->failed;
}

void emit_error(int status, const char *reason, const char *code, const char *detail) {
    Buf b = {};
    if (build_error(&b, status, reason, code, detail)) {
        plat_write_stdout(b.data, b.len);  // header and body in one write
    } else {
        write_build_failed();
    }
    buf_free(&b);
}
