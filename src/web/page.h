// The console page: the HTML response header, then the page template with
// the theme head block and the theme bridge script spliced in at their
// markers. The texts themselves live in the files of this folder and are
// embedded at build time (assets.h); this module only writes them.
#pragma once

// Writes the whole page response (header lines, blank line, document) to
// standard output. The response has no Status: line, so the host's default
// status applies. Nothing can fail here beyond what standard output ignores.
void write_page(void);

// Writes the refusal a browser gets from a node with a password when it
// asked for the page without one: "401 Unauthorized" and a small HTML page
// in the console's look that says the node needs its password and how to
// open the console from the node's own page. Its headers are the page's.
void write_refusal_page(void);
