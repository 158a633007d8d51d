#include "actions/documents.h"

#include "cgi/error_codes.h"

// ,"pending_id":"<id>" when id is not empty. An id is hexadecimal digits
// only, so it needs no escaping.
static void add_pending_id(Buf *out, const char *pending_id) {
    if (pending_id[0]) buf_addf(out, ",\"pending_id\":\"%s\"", pending_id);
}

int append_device_code(Buf *out, const StartAnswer *a, const char *pending_id) {
    buf_adds(out, "{\"ok\":true,\"flow\":\"device_code\",\"verify_url\":");
    buf_json(out, a->verify_url);
    buf_adds(out, ",\"user_code\":");
    buf_json(out, a->user_code);
    buf_addf(out, ",\"expires_in\":%lld", a->expires_in);
    buf_addf(out, ",\"interval\":%d", a->interval);
    buf_adds(out, ",\"pending\":true");
    buf_adds(out, ",\"provider\":\"lumivane\"");
    add_pending_id(out, pending_id);
    buf_adds(out, "}\n");
    return !out->failed;
}

int append_already_logged_in(Buf *out, const StartAnswer *a, int logged_in) {
    buf_adds(out, "{\"ok\":true,\"already_logged_in\":true,\"pending\":false");
    buf_adds(out, ",\"error\":");
    buf_json(out, ERR_ALREADY_LOGGED_IN);
    buf_adds(out, ",\"detail\":");
    buf_json(out, a->detail[0] ? a->detail : "credentials already exist");
    buf_addf(out, ",\"logged_in\":%s", json_flag(logged_in));
    buf_adds(out, ",\"hint\":\"pass force=1 to replace the existing session\"}\n");
    return !out->failed;
}

int append_poll_failed(Buf *out, const PollAnswer *a, int logged_in) {
    buf_adds(out, "{\"ok\":true,\"state\":\"failed\"");
    buf_adds(out, ",\"error\":");
    buf_json(out, a->error[0] ? a->error : ERR_POLL_FAILED);
    if (a->detail[0]) {
        buf_adds(out, ",\"detail\":");
        buf_json(out, a->detail);
    }
    buf_addf(out, ",\"logged_in\":%s", json_flag(logged_in));
    buf_adds(out, ",\"pending\":false}\n");
    return !out->failed;
}

int append_poll_pending(Buf *out, int interval, const char *pending_id) {
    buf_addf(out, "{\"ok\":true,\"state\":\"pending\",\"interval\":%d,\"logged_in\":false,\"pending\":true",
             interval);
    add_pending_id(out, pending_id);
    buf_adds(out, "}\n");
    return !out->failed;
}

int append_local_cancel(Buf *out) {
    buf_adds(out, "{\"ok\":true,\"state\":\"cancelled\",\"pending\":false,\"cli_present\":false}\n");
    return !out->failed;
}
