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
