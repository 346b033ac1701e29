// A property check for fuzz targets: prints what failed and aborts, so libFuzzer records the
// input as a crash (assert() would vanish in release builds).
#pragma once

#include <cstdio>
#include <cstdlib>

#define TW_FUZZ_CHECK(cond)                                                                \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)
