#include "app/route.h"

#include <string.h>

#include "base/ascii.h"
#include "base/limits.h"
#include "cgi/query.h"

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

int refusal_is_page(Route route, const char *accept) {
    static const char HTML[] = "text/html";
    const size_t html_len = sizeof HTML - 1;
    if (route != ROUTE_PAGE || !accept) return 0;
    size_t n = strlen(accept);
    for (size_t i = 0; i + html_len <= n; i++)
        if (ascii_strnicmp(accept + i, HTML, html_len) == 0) return 1;
    return 0;
}

int route_changes_state(Route route) {
    return route == ROUTE_START || route == ROUTE_POLL || route == ROUTE_CANCEL || route == ROUTE_REFRESH;
}
