// A small check harness for the Windows test programs (no GoogleTest in cross builds):
// CHECK records a failure with file and line and goes on; main returns Summary().
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>

namespace tw::wintest {

inline int& Failures() {
    static int failures = 0;
    return failures;
}

inline void Fail(const char* file, int line, const std::string& what) {
    ++Failures();
    std::fprintf(stderr, "%s:%d: FAILED: %s\n", file, line, what.c_str());
    std::fflush(stderr);
}

// Printable form of bytes for failure messages (control bytes as \xNN, long runs shortened).
inline std::string Show(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < 120; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 32 && c < 127) {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (bytes.size() > 120) out += "...(" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

template <class T>
std::string Value(const T& value) {
    if constexpr (std::is_enum_v<T>) {
        return std::to_string(static_cast<long long>(value));
    } else if constexpr (std::is_arithmetic_v<T>) {
        return std::to_string(value);
    } else {
        return "?";
    }
}

inline int Summary(const char* name) {
    if (Failures() == 0) {
        std::printf("%s: all checks passed\n", name);
        return 0;
    }
    std::printf("%s: %d check(s) failed\n", name, Failures());
    return 1;
}

}  // namespace tw::wintest

#define CHECK(cond)                                                  \
    do {                                                             \
        if (!(cond)) ::tw::wintest::Fail(__FILE__, __LINE__, #cond); \
    } while (0)

#define CHECK_EQ(a, b)                                                                                     \
    do {                                                                                                   \
        const auto& check_a_ = (a);                                                                        \
        const auto& check_b_ = (b);                                                                        \
        if (!(check_a_ == check_b_))                                                                       \
            ::tw::wintest::Fail(__FILE__, __LINE__,                                                        \
                                std::string(#a " == " #b ": ") + ::tw::wintest::Value(check_a_) + " vs " + \
                                    ::tw::wintest::Value(check_b_));                                       \
    } while (0)

#define CHECK_BYTES(a, b)                                                                              \
    do {                                                                                               \
        const std::string check_a_{(a)};                                                               \
        const std::string check_b_{(b)};                                                               \
        if (check_a_ != check_b_)                                                                      \
            ::tw::wintest::Fail(__FILE__, __LINE__,                                                    \
                                std::string(#a " == " #b ": got \"") + ::tw::wintest::Show(check_a_) + \
                                    "\" want \"" + ::tw::wintest::Show(check_b_) + "\"");              \
    } while (0)
