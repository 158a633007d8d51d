// The program's entry: command-line answers for plugin discovery, the
// node password check, and the routing of a request to the page or to one
// of the five JSON actions. An action that can change the node's sign-in
// is refused (403, "cross_site_request", no tool run) when a page on
// another site sent it, and every answer but the page is refused (403,
// "host_not_allowed", no tool run) on a node without a password when the
// request names a host the node is not known by (cgi/cross_site.h).
// main() is only a call to plugin_main().
#pragma once

extern const char META_LINE[];     // the --meta answer, line feed included
extern const char VERSION_LINE[];  // the --version answer, line feed included
// The detail of the 403 "cross_site_request" refusal.
extern const char CROSS_SITE_DETAIL[];
// The variable that lists the names the node is served under.
extern const char ALLOWED_HOSTS_VARIABLE[];

// The whole program: returns the process exit status.
int plugin_main(int argc, char **argv);
