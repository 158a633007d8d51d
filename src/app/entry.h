// The program's entry: command-line answers for plugin discovery, the
// node password check, and the routing of a request to the page or to one
// of the five JSON actions. An action that can change the node's sign-in
// is refused (403, "cross_site_request", no tool run) when a page on
// another site sent it (cgi/cross_site.h). main() is only a call to
// plugin_main().
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

extern const char META_LINE[];     // the --meta answer, line feed included
extern const char VERSION_LINE[];  // the --version answer, line feed included
// The detail of the 403 "cross_site_request" refusal.
extern const char CROSS_SITE_DETAIL[];

// Decides what a request that passed the password check gets, from its
// query alone (null counts as empty).
Route route_request(const char *query);

// 1 for the routes that may change the node's sign-in (start, poll, cancel,
// refresh): a request from another site is refused before they run.
int route_changes_state(Route route);

// The whole program: returns the process exit status.
int plugin_main(int argc, char **argv);
