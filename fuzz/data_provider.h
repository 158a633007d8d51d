// libFuzzer's FuzzedDataProvider. The program's own "limits.h" lies on the
// include path (-Isrc) and hides the C library's <limits.h>, so CHAR_BIT,
// which the provider uses, is taken from the compiler here.
#pragma once

#ifndef CHAR_BIT
#define CHAR_BIT __CHAR_BIT__
#endif
#include <fuzzer/FuzzedDataProvider.h>
