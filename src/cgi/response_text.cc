#include "cgi/response_text.h"

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

int build_tool_error(Buf *out, int status, const char *reason, const char *code, const char *detail,
                     const char *tool_error) {
    buf_addf(out, "Status: %d %s\r\n%s", status, reason, JSON_HEADER);
    buf_adds(out, "{\"ok\":false,\"error\":");
    buf_json(out, code);
    if (detail[0]) {
        buf_adds(out, ",\"detail\":");
        buf_json(out, detail);
    }
    if (tool_error[0]) {
        buf_adds(out, ",\"tool_error\":");
        buf_json(out, tool_error);
    }
    buf_adds(out, "}\n");
    return !out->failed;
}

int build_error(Buf *out, int status, const char *reason, const char *code, const char *detail) {
    return build_tool_error(out, status, reason, code, detail, "");
}
