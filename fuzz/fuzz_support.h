// Shared by the fuzz targets: FUZZ_CHECK ends the run on a violated
// property (libFuzzer reports it as a crash with the input that caused
// it), and the strict JSON reader of tests/support checks response bodies.
#pragma once

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "strict_json.h"

#define FUZZ_CHECK(cond)                                                                 \
    do {                                                                                 \
        if (!(cond)) {                                                                   \
            fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #cond); \
            abort();                                                                     \
        }                                                                                \
    } while (0)

// The bytes up to the first NUL: every text the program reads ends there.
inline std::string up_to_nul(const std::string &s) { return std::string(s.c_str()); }
