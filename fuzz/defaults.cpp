// The user-defaults file: any text decodes or fails cleanly; what decodes
// encodes and decodes again to equal values.

#include <cstdint>

#include "FuzzCheck.h"
#include "core/DefaultsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const auto values = core::DefaultsFile::decode(fuzz::text(data, size));
    if (!values) return 0;
    std::string error;
    const auto encoded = core::DefaultsFile::encode(*values, &error);
    if (!encoded) std::fprintf(stderr, "encode: %s\n", error.c_str());
    FUZZ_CHECK(encoded);
    const auto again = core::DefaultsFile::decode(*encoded);
    FUZZ_CHECK(again);
    FUZZ_CHECK(*again == *values);
    return 0;
}
