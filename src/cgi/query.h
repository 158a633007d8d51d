// The query string: segments separated by '&', each a name, "name=" or
// "name=value". Bytes are taken as they are: no percent-decoding, no '+'
// to space, case-sensitive names. The first matching segment decides.
// (The password check alone also compares its value percent-decoded:
// auth.h.)
#pragma once

#include <stddef.h>

// 1 when a segment is `name` followed by '=', '&' or the end of the query.
int query_has(const char *query, const char *name);

// The value of the first segment "name=": its first byte (inside query)
// and its whole length in *len, up to the next '&' or the end; null when
// there is no such segment (*len is then 0). Nothing is copied or cut.
const char *query_value_span(const char *query, const char *name, size_t *len);

// Copies the value of the first segment "name=" into out (at most cap - 1
// bytes) and returns 1, also for an empty value; 0 when there is none.
// out is emptied first in every case.
int get_query_val(const char *query, const char *name, char *out, size_t cap);
