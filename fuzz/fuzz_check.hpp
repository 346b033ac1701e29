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

#include <unistd.h>

#include <filesystem>
#include <string>

// A private folder for a target's files (sockets, log files), under $TMPDIR (else /tmp), that
// is removed with everything in it when the target ends. scripts/stage-fuzz.sh also points
// TMPDIR at a folder of its own that it removes, so even a crashed target leaves nothing.
inline std::string FuzzTempDir(const char* name) {
    static std::string made;
    if (!made.empty()) return made;
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/" + name + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    made = pattern;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(made, ec);
    });
    return made;
}
