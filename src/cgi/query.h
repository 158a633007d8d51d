// The query string: segments separated by '&', each a name, "name=" or
// "name=value". Bytes are taken as they are: no percent-decoding, no '+'
// to space, case-sensitive names. The first matching segment decides.
#pragma once

#include <stddef.h>

// 1 when a segment is `name` followed by '=', '&' or the end of the query.
int query_has(const char *query, const char *name);

// Copies the value of the first segment "name=" into out (at most cap - 1
// bytes) and returns 1, also for an empty value; 0 when there is none.
// out is emptied first in every case.
int get_query_val(const char *query, const char *name, char *out, size_t cap);
