// The merge of the login tool's status report: a function of the two
// records alone, kept apart from collect_status, which reads files and
// runs the tools.
#include <stdio.h>

#include "state/status.h"

static void copy_text(char *out, size_t cap, const char *src) { snprintf(out, cap, "%s", src); }

void merge_status_report(Status *st, const StatusReport *r) {
    st->cli_ok = r->ok;
    if (!st->cli_ok) {
        copy_text(st->cli_error, sizeof st->cli_error, r->error);
        copy_text(st->cli_detail, sizeof st->cli_detail, r->detail);
    }
    if (!st->account[0]) copy_text(st->account, sizeof st->account, r->account);
    if (st->expires_at == 0) st->expires_at = r->expires_at;
    if (r->logged_in) st->logged_in = 1;
    if (r->has_refresh) st->has_refresh = 1;
    if (r->pending && !st->pending && st->pending_file_missing) st->pending = 1;
    if (r->profile_exists) st->profile_exists = 1;
}
