// UTF-8 well-formedness, one unit at a time. A unit is either one
// well-formed character or one maximal ill-formed subpart: the longest run
// that begins like a well-formed character but is not completed (a lone
// byte when the first byte can begin none). Every byte of a text belongs
// to exactly one unit, so a text walked unit by unit can be cut between
// characters, and each ill-formed unit stands for one U+FFFD.
#pragma once

#include <stddef.h>

// The replacement character U+FFFD, as UTF-8.
extern const char UTF8_REPLACEMENT[];
constexpr size_t UTF8_REPLACEMENT_LEN = 3;
constexpr size_t UTF8_MAX_CHAR_LEN = 4;
// The byte-order mark U+FEFF, as UTF-8: what Windows tools often write
// first. The readers skip it where a text or a tool's line begins.
extern const char UTF8_BOM[];
constexpr size_t UTF8_BOM_LEN = 3;

// Length (1 to 4) of the unit that starts at p, reading at most `avail`
// bytes (avail >= 1). *well_formed gets 1 for a character, 0 for an
// ill-formed subpart. A NUL is a one-byte character; it never continues a
// multi-byte one, so a NUL-terminated text can be walked with a large avail.
size_t utf8_unit(const char *p, size_t avail, int *well_formed);
