#pragma once
// What the fuzz targets share: a check that stops the run as a finding,
// and the input split into parts.

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <utility>

// A broken property is a finding: libFuzzer saves the input that broke it.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: FUZZ_CHECK(%s) failed\n", __FILE__, __LINE__,             \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace fuzz {

// Points the app home (user defaults, caches) at a new folder of the run's
// own, so that a target that stores settings never touches the user's.
// Call from LLVMFuzzerInitialize.
inline void useTemporaryHome() {
    static char folder[] = "/tmp/vantor-fuzz-XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    setenv("VANTOR_HOME", folder, 1);
}

inline std::string_view text(const std::uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The input cut at its first newline: before it and after it (empty when
// there is none).
inline std::pair<std::string_view, std::string_view> splitLine(std::string_view input) {
    const size_t newline = input.find('\n');
    if (newline == std::string_view::npos) return {input, {}};
    return {input.substr(0, newline), input.substr(newline + 1)};
}

}  // namespace fuzz
