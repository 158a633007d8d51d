// The console page: the HTML header, then the page template with the theme
// head block and the theme bridge script spliced in at their markers.
#pragma once

// Writes the whole page response to standard output.
void write_page(void);
