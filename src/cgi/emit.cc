#include "cgi/emit.h"

#include <string.h>

#include "platform/platform.h"

static void write_build_failed(void) {
    plat_write_stdout(BUILD_FAILED_RESPONSE, strlen(BUILD_FAILED_RESPONSE));
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

void emit_unauthorized(void) { plat_write_stdout(UNAUTHORIZED_RESPONSE, strlen(UNAUTHORIZED_RESPONSE)); }

void emit_error(int status, const char *reason, const char *code, const char *detail) {
    emit_tool_error(status, reason, code, detail, "");
}

void emit_tool_error(int status, const char *reason, const char *code, const char *detail,
                     const char *tool_error) {
    Buf b = {};
    if (build_tool_error(&b, status, reason, code, detail, tool_error)) {
        plat_write_stdout(b.data, b.len);  // header and body in one write
    } else {
        write_build_failed();
    }
    buf_free(&b);
}
