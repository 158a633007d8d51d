// SHA-256 (FIPS 180-4) of a byte span, and the short hexadecimal name the
// status document gives a file's content with it. Pure: no allocation, no
// state between calls.
#pragma once

#include <stddef.h>

constexpr size_t SHA256_BYTES = 32;

// The digest of the n bytes at data into out.
void sha256(const void *data, size_t n, unsigned char out[SHA256_BYTES]);

// The first CONTENT_ID_HEX_DIGITS lower-case hexadecimal digits of the
// digest of the n bytes at data, NUL-terminated, into out. Two contents
// that differ get different names but for a 2^-64 chance, and the name
// tells nothing of the content (a marker may hold a device code).
constexpr size_t CONTENT_ID_HEX_DIGITS = 16;
constexpr size_t CONTENT_ID_CAP = CONTENT_ID_HEX_DIGITS + 1;
void content_id(const void *data, size_t n, char out[CONTENT_ID_CAP]);
