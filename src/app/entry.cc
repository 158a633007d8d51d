#include "app/entry.h"

#include <string.h>

#include "actions/actions.h"
#include "app/route.h"
#include "base/version.h"
#include "cgi/auth.h"
#include "cgi/cross_site.h"
#include "cgi/emit.h"
#include "cgi/query.h"
#include "platform/platform.h"
#include "tools/runner.h"
#include "web/page.h"

const char META_LINE[] = "{\"name\":\"lumivane\",\"desc\":\"LumiVane login\"}\n";
const char VERSION_LINE[] = "plugin_lumivane_login " LUMIVANE_VERSION "\n";
const char CROSS_SITE_DETAIL[] = "a page on another site cannot start, poll, cancel or refresh a login";

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
        emit_unauthorized();
        return 0;
    }

    // Tools may run from here on. The request's time runs from here too:
    // every tool run and every wait for the node lock shares it.
    plat_init_tools();
    request_deadline_begin();
    const char *query = plat_getenv("QUERY_STRING");
    if (!query) query = "";
    Route route = route_request(query);
    // Every action but status can change the node's sign-in, so none of
    // them is run for a page on another site; the page and the status
    // document change nothing and stay open to any origin.
    if (route_changes_state(route) && request_is_cross_site()) {
        emit_error(403, "Forbidden", "cross_site_request", CROSS_SITE_DETAIL);
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
    emit_error(400, "Bad Request", "unknown_action", "expected status, start, poll, cancel or refresh");
    return 1;
}
