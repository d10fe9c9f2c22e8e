#pragma once
// The test process's resident size, for tests that bound what the app
// holds. Under AddressSanitizer freed memory stays in quarantine, and under
// ThreadSanitizer every byte has shadow bytes beside it, so such bounds are
// not checked there.

#include <unistd.h>

#include <cstdint>
#include <fstream>

#include "Sanitizers.h"

namespace testsupport {

inline constexpr bool kMeasuresResidentMemory = !kSanitized;

// In bytes.
inline std::int64_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::int64_t size = 0;
    std::int64_t pages = 0;
    statm >> size >> pages;
    return pages * sysconf(_SC_PAGESIZE);
}

}  // namespace testsupport
