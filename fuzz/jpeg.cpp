// JPEG decoding (seeds in corpus/jpeg/): see ImageDecode.h.

#include "ImageDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::decodeImage(data, size);
    return 0;
}
