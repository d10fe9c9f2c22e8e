// The keyed archive: any bytes decode or fail cleanly; what decodes encodes
// back to the very same bytes (the format has one archive per tree).

#include <algorithm>
#include <cstdint>
#include <span>

#include "FuzzCheck.h"
#include "core/KeyedArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    const auto value = core::KeyedArchive::decode(input);
    if (!value) return 0;
    std::string error;
    const auto encoded = core::KeyedArchive::encode(*value, &error);
    if (!encoded) std::fprintf(stderr, "encode: %s\n", error.c_str());
    FUZZ_CHECK(encoded);
    FUZZ_CHECK(std::equal(encoded->begin(), encoded->end(), input.begin(), input.end()));
    return 0;
}
