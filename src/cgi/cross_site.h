// The cross-site and host rules.
//
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
// The host rule (DNS rebinding). A page on a name its owner made resolve
// to the node sends requests that are same-origin to that name, so the
// rule above lets them through; only the Host header shows the name. On a
// node without a password every answer but the page needs a Host that the
// node is known by:
//
//   an IPv4 address written as a dotted quad, or a bracketed IPv6 address
//     (no DNS is asked, so nobody can make them point elsewhere);
//   localhost;
//   a name listed in LUMIVANE_ALLOWED_HOSTS: comma-separated entries, any
//     case, spaces and tabs around an entry and empty entries ignored, a
//     port on the Host or an entry ignored, and one dot that ends a fully
//     qualified name ignored on both. An entry that is no host name
//     ("http://node", "a b") names nothing.
//
// A request without a Host header (a tool, a test) passes. Anything that
// is not "host[:port]" with a valid name is refused.
//
// Both decisions are pure functions of the header values; nothing is
// written here.
#pragma once

#include <stddef.h>

// 1 when a request with these header values (each possibly null: the
// header was absent) comes from a page on another origin.
int cross_site_refused(const char *sec_fetch_site, const char *origin, const char *host);

// 1 when a request whose Host header is `host` (null: absent) may be
// answered, given the LUMIVANE_ALLOWED_HOSTS value `allowed` (null: unset).
int host_allowed(const char *host, const char *allowed);

// The length of the longest start of `host` that fits in `cap` bytes
// without cutting a UTF-8 character: how much of it a refusal shows.
size_t host_shown_len(const char *host, size_t cap);
