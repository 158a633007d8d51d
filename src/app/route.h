// Which answer a request gets, decided from its query alone: the page,
// one of the five JSON actions, or the unknown-action error. Pure; the
// entry (entry.h) reads the query and carries the choice out.
#pragma once

enum Route {
    ROUTE_PAGE,
    ROUTE_STATUS,
    ROUTE_START,
    ROUTE_POLL,
    ROUTE_CANCEL,
    ROUTE_REFRESH,
    ROUTE_UNKNOWN,
};

// Decides what a request that passed the password check gets (null counts
// as empty): the page without `action` and `format`; otherwise the action
// named by the first `action=` value, an empty or missing one being status.
Route route_request(const char *query);

// 1 for the routes that may change the node's sign-in (start, poll, cancel,
// refresh): a request from another site is refused before they run.
int route_changes_state(Route route);

// 1 when a request refused for want of the node password gets the HTML
// refusal page rather than the JSON 401: a page request (ROUTE_PAGE) whose
// Accept header names text/html (in any case), as a browser's navigation
// does. Tools and scripts, which send no such Accept, and every action
// keep the JSON 401.
int refusal_is_page(Route route, const char *accept);
