#include "app/route.h"

#include <string.h>

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
