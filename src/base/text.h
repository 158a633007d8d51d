// Copying one text into a fixed-size character array: the one place where
// such a copy is cut or refused for its capacity. Every copy of a whole
// text (or of a span of one) into a char array goes through these, so that
// every copy is terminated and a cut is a choice the caller made by name.
// Code that composes a text from several parts (a path, a lock name, a
// message) measures its room where it composes.
#pragma once

#include <stddef.h>

// Copies src into out (cap bytes, cap >= 1), cut at cap - 1 bytes, always
// terminated.
void copy_text(char *out, size_t cap, const char *src);

// Copies the n bytes at src into out, cut at cap - 1 bytes, and terminates
// it. src need not be terminated.
void copy_span(char *out, size_t cap, const char *src, size_t n);

// Copies src whole into out and returns 1; when it does not fit in cap - 1
// bytes, out is left empty and the result is 0: for texts such as paths
// and commands, where a cut copy would name something else.
int copy_whole(char *out, size_t cap, const char *src);
