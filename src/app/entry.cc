#include "app/entry.h"

#include <string.h>

#include "actions/actions.h"
#include "app/route.h"
#include "base/buf.h"
#include "base/limits.h"
#include "base/version.h"
#include "cgi/auth.h"
#include "cgi/cross_site.h"
#include "cgi/emit.h"
#include "cgi/error_codes.h"
#include "cgi/query.h"
#include "platform/platform.h"
#include "tools/runner.h"
#include "web/page.h"

const char META_LINE[] = "{\"name\":\"lumivane\",\"desc\":\"LumiVane login\"}\n";
const char VERSION_LINE[] = "plugin_lumivane_login " LUMIVANE_VERSION "\n";
const char CROSS_SITE_DETAIL[] = "a page on another site cannot start, poll, cancel or refresh a login";

const char ALLOWED_HOSTS_VARIABLE[] = "LUMIVANE_ALLOWED_HOSTS";

static void write_line(const char *line) { plat_write_stdout(line, strlen(line)); }

// The node password check on the request in the environment.
static int request_passes_node_password(void) {
    return password_passes(plat_getenv("BOT_PASSWORD"), plat_getenv("HTTP_X_BOT_PASSWORD"),
                           plat_getenv("HTTP_AUTHORIZATION"), plat_getenv("QUERY_STRING"));
}

// The cross-site rule on the request in the environment.
static int request_is_cross_site(void) {
    return cross_site_refused(plat_getenv("HTTP_SEC_FETCH_SITE"), plat_getenv("HTTP_ORIGIN"),
                              plat_getenv("HTTP_HOST"));
}

// The host rule on the request in the environment. A node with a password
// needs none: a page on a rebound name cannot present the password.
static int request_host_is_allowed(void) {
    const char *password = plat_getenv("BOT_PASSWORD");
    if (password && password[0]) return 1;
    return host_allowed(plat_getenv("HTTP_HOST"), plat_getenv(ALLOWED_HOSTS_VARIABLE));
}

// The 403 ERR_HOST_NOT_ALLOWED refusal, naming the Host header (cut between
// characters when long) and the variable that would let it through.
static void emit_host_not_allowed(void) {
    const char *host = plat_getenv("HTTP_HOST");
    if (!host) host = "";
    size_t shown = host_shown_len(host, HOST_SHOWN_MAX);
    Buf detail = {};
    buf_addf(&detail, "this node is not known by the name \"%.*s%s\"; if it is served under that name, "
             "add the name to %s", (int)shown, host, shown < strlen(host) ? "..." : "", ALLOWED_HOSTS_VARIABLE);
    emit_error(403, "Forbidden", ERR_HOST_NOT_ALLOWED, detail.failed || !detail.data ? "" : detail.data);
    buf_free(&detail);
}

int plugin_main(int argc, char **argv) {
    plat_init_stdout();
    const char *first = argc > 1 ? argv[1] : nullptr;
    if ((first && strcmp(first, "--meta") == 0) || plat_getenv("VN_PLUGIN_META")) {
        write_line(META_LINE);
        return 0;
    }
    if (first && (strcmp(first, "--version") == 0 || strcmp(first, "-v") == 0)) {
        write_line(VERSION_LINE);
        return 0;
    }
    if (!request_passes_node_password()) {
        // A browser that opened the console's address gets a page it can
        // show; everything else the one fixed JSON refusal.
        if (refusal_is_page(route_request(plat_getenv("QUERY_STRING")), plat_getenv("HTTP_ACCEPT"))) {
            write_refusal_page();
        } else {
            emit_unauthorized();
        }
        return 0;
    }

    // Tools may run from here on. The request's time runs from here too:
    // every tool run and every wait for the node lock shares it.
    plat_init_tools();
    request_deadline_begin();
    const char *query = plat_getenv("QUERY_STRING");
    if (!query) query = "";
    Route route = route_request(query);
    // Every answer but the page carries the node's account or can change
    // its sign-in, so none of them goes to a name the node does not know:
    // a page on a name rebound to the node reads them same-origin.
    if (route != ROUTE_PAGE && !request_host_is_allowed()) {
        emit_host_not_allowed();
        return 1;
    }
    // Every action but status can change the node's sign-in, so none of
    // them is run for a page on another site; the page and the status
    // document change nothing and stay open to any origin.
    if (route_changes_state(route) && request_is_cross_site()) {
        emit_error(403, "Forbidden", ERR_CROSS_SITE_REQUEST, CROSS_SITE_DETAIL);
        return 1;
    }
    switch (route) {
        case ROUTE_PAGE: write_page(); return 0;
        case ROUTE_STATUS: return action_status();
        case ROUTE_START: return action_start(query_has(query, "force"));
        case ROUTE_POLL: return action_poll();
        case ROUTE_CANCEL: return action_cancel();
        case ROUTE_REFRESH: return action_refresh();
        case ROUTE_UNKNOWN: break;
    }
    emit_error(400, "Bad Request", ERR_UNKNOWN_ACTION, "expected status, start, poll, cancel or refresh");
    return 1;
}
