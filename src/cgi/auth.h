// The node password check. A node with a password (BOT_PASSWORD set and
// non-empty) serves nothing to a request that does not present it through
// the X-Bot-Password header, the Authorization header (leading spaces and
// an optional "Bearer " scheme word, any case, with the spaces after it
// skipped), or the `pwd` query parameter (its first occurrence, whole,
// as given or percent-decoded), tried in that order. The X-Bot-Password
// header too is compared as given and percent-decoded.
#pragma once

// 1 when the request may proceed. `password` is BOT_PASSWORD; the other
// three are the request's header values and query, each possibly null.
// Comparisons take time that depends on the lengths only, not on where
// the texts differ. Nothing is trimmed, and only the X-Bot-Password
// header and the `pwd` value are also tried percent-decoded ('+' is not a
// space there).
int password_passes(const char *password, const char *header, const char *authorization,
                    const char *query);
