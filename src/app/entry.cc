#include "app/entry.h"

#include <string.h>

#include "actions/actions.h"
#include "base/limits.h"
#include "base/version.h"
#include "cgi/auth.h"
#include "cgi/cross_site.h"
#include "cgi/emit.h"
#include "cgi/query.h"
#include "platform/platform.h"
#include "web/page.h"

const char META_LINE[] = "{\"name\":\"lumivane\",\"desc\":\"LumiVane login\"}\n";
const char VERSION_LINE[] = "plugin_lumivane_login " LUMIVANE_VERSION "\n";
const char CROSS_SITE_DETAIL[] = "a page on another site cannot start, poll, cancel or refresh a login";

Route route_request(const char *query) {
    if (!query_has(query, "action") && !query_has(query, "format")) return ROUTE_PAGE;
    char action[ACTION_CAP];
    get_query_val(query, "action", action, sizeof action);
    if (!action[0] || strcmp(action, "status") == 0) return ROUTE_STATUS;
    if (strcmp(action, "start") == 0) return ROUTE_START;
    if (strcmp(action, "poll") == 0) return ROUTE_POLL;
    if (strcmp(action, "cancel") == 0) return ROUTE_CANCEL;
    if (strcmp(action, "refresh") == 0) return ROUTE_REFRESH;
    return ROUTE_UNKNOWN;
}

static void write_line(const char *line) { plat_write_stdout(line, strlen(line)); }

int route_changes_state(Route route) {
    return route == ROUTE_START || route == ROUTE_POLL || route == ROUTE_CANCEL || route == ROUTE_REFRESH;
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
