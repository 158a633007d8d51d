// The cross-site rule. Every action but status changes what the node
// holds, and all of them come as GET, so a page on another site could
// start or cancel a login with an <img> or a no-cors fetch. Browsers say
// where a request comes from; this module reads that, without tokens:
//
//   Sec-Fetch-Site present: only "same-origin" and "none" (the user typed
//     or bookmarked the address) pass; any other value is refused.
//   Sec-Fetch-Site absent, Origin present: the Origin's host and port must
//     equal those of the Host header (a port missing from either is the
//     default of the Origin's scheme); anything else, "null" included, is
//     refused.
//   Neither header (tools, curl, older browsers): the request passes.
//
// The decision is a pure function of the three header values; nothing is
// written here.
#pragma once

// 1 when a request with these header values (each possibly null: the
// header was absent) comes from a page on another origin.
int cross_site_refused(const char *sec_fetch_site, const char *origin, const char *host);
