// UTF-8 inside, UTF-16 at the Windows door. Every text of the program is
// UTF-8; the Windows platform files convert at each system call with
// these functions, and hand the system nothing that went through a code
// page. They are plain code without a system call, so that the unit tests
// run them on every host.
//
// A UTF-16 unit is held in a wchar_t, the type of the wide Windows calls
// (16 bits there; wider elsewhere, where only the tests use these
// functions, and a unit above 0xFFFF is ill-formed).
//
// Nothing stops a conversion: each ill-formed UTF-8 unit (base/utf8.h),
// and each unpaired surrogate, becomes U+FFFD. A name that Windows holds
// but that is not valid UTF-16 therefore comes back as another name: it
// names no file and reads as not found, never as a neighbour's.
//
// Results count units (UTF-16) or bytes (UTF-8), the terminating NUL not
// included, like snprintf: the whole length even when it does not fit.
// out receives the text, NUL-terminated, only when that length is below
// cap; otherwise out is left empty (when cap > 0). cap 0 measures, and out
// may then be null.
#pragma once

#include <stddef.h>
#include <wchar.h>

// n bytes of UTF-8 to UTF-16. The UTF-16 form never has more units than
// the UTF-8 form has bytes.
size_t utf16_from_utf8(const char *text, size_t n, wchar_t *out, size_t cap);

// n units of UTF-16 to UTF-8.
size_t utf8_from_utf16(const wchar_t *text, size_t n, char *out, size_t cap);

// The UTF-16 form of a NUL-terminated path, as the wide file and process
// calls take it. A path that fits the classic limit (WIN_MAX_PATH units
// with its NUL), a relative one, and one already in the \\?\ or \\.\ form
// are only converted. A longer absolute path (C:\... or \\server\share\...,
// with either slash) gets the \\?\ prefix (\\?\UNC\ for a share), under
// which Windows takes the name as it is and lifts the limit; so the rest
// is first made what Windows would have made of it: '/' turned into '\',
// empty and "." folders dropped, ".." taking the folder before it away
// (never the drive or the share), one trailing '.' dropped from a folder
// name and every trailing '.' and ' ' from the last name. So a long path
// names the file its short spelling would.
size_t utf16_path(const char *path, wchar_t *out, size_t cap);
