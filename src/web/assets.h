// The console's web texts, generated at build time by embed.cmake from the
// .html/.css/.js files beside this header. Each array ends with one NUL that
// its _LEN does not count.
//
// Invariants the page writer relies on (embed.cmake fails the build
// otherwise): PAGE_TEMPLATE holds byte 0x01 exactly once and byte 0x02
// exactly once, and apart from them only printable ASCII and line feeds;
// the two theme blocks hold only printable ASCII and line feeds. PAGE_POLICY
// names the hash of every inline block of the page as the writer serves it
// (the template with both blocks spliced in), so any other serving of these
// texts would run without its scripts and styles.
#pragma once

#include <stddef.h>

// Marker bytes in PAGE_TEMPLATE.
constexpr unsigned char PAGE_MARK_THEME_HEAD = 0x01;
constexpr unsigned char PAGE_MARK_THEME_BRIDGE = 0x02;

// The whole page document with the two markers.
extern const unsigned char PAGE_TEMPLATE[];
extern const size_t PAGE_TEMPLATE_LEN;

// Early theme choice (a script) followed directly by the palette and base
// rules (a style element); spliced at PAGE_MARK_THEME_HEAD.
extern const unsigned char THEME_HEAD[];
extern const size_t THEME_HEAD_LEN;

// Theme functions and the host-frame message exchange (a script element
// and a line feed); spliced at PAGE_MARK_THEME_BRIDGE.
extern const unsigned char THEME_BRIDGE[];
extern const size_t THEME_BRIDGE_LEN;

// The page's Content-Security-Policy value (csp.cmake): one line of
// printable ASCII, without the header name.
extern const unsigned char PAGE_POLICY[];
extern const size_t PAGE_POLICY_LEN;

// The password refusal page, whole (printable ASCII and line feeds), and
// its policy, which names the hashes of its inline blocks.
extern const unsigned char REFUSAL_PAGE[];
extern const size_t REFUSAL_PAGE_LEN;
extern const unsigned char REFUSAL_POLICY[];
extern const size_t REFUSAL_POLICY_LEN;
