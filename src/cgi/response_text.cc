#include "cgi/response_text.h"

#include "cgi/error_codes.h"

#define JSON_HEADER_TEXT                                   \
    "Content-Type: application/json; charset=utf-8\r\n" \
    "Cache-Control: no-store\r\n"                        \
    "X-Content-Type-Options: nosniff\r\n"                \
    "\r\n"

const char JSON_HEADER[] = JSON_HEADER_TEXT;

// The codes of the two fixed responses, spelled as literals so that the
// texts below are joined at compile time; the build holds them to the list.
#define INVALID_PASSWORD_CODE "invalid node password"
#define RESPONSE_FAILED_CODE "response_failed"
static constexpr bool same_text(const char *a, const char *b) {
    return *a == *b && (*a == '\0' || same_text(a + 1, b + 1));
}
static_assert(same_text(INVALID_PASSWORD_CODE, ERR_INVALID_PASSWORD), "the 401 response's code is the listed one");
static_assert(same_text(RESPONSE_FAILED_CODE, ERR_RESPONSE_FAILED), "the 500 stand-in's code is the listed one");

const char UNAUTHORIZED_RESPONSE[] =
    "Status: 401 Unauthorized\r\n" JSON_HEADER_TEXT
    "{\"ok\":false,\"error\":\"" INVALID_PASSWORD_CODE "\"}\n";

const char BUILD_FAILED_RESPONSE[] =
    "Status: 500 Internal Server Error\r\n" JSON_HEADER_TEXT
    "{\"ok\":false,\"error\":\"" RESPONSE_FAILED_CODE "\",\"detail\":\"the response could not be built\"}\n";

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
