// Windows-only end-to-end cases.
#include <gtest/gtest.h>

#include "harness.h"
