// Ad size strings of the ad server ("320x50"): any text gives a size whose
// sides are whole, non-negative and within bounds, or zero; and a size that
// was given back reads the same from its own text.

#include <cmath>
#include <cstdint>

#include "FuzzCheck.h"
#include "ads/core/request/DZAdSize.h"
#include "core/NumberText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const gfx::Size parsed = ads::DZAdSizeRequestString(fuzz::text(data, size));
    for (const double side : {parsed.width, parsed.height}) {
        FUZZ_CHECK(side >= 0 && side <= ads::kDZAdSizeMaximumRequestDimension);
        FUZZ_CHECK(std::trunc(side) == side);
    }
    std::string text;
    core::NumberText::appendDouble(text, parsed.width);
    text += 'x';
    core::NumberText::appendDouble(text, parsed.height);
    const gfx::Size again = ads::DZAdSizeRequestString(text);
    FUZZ_CHECK(again.width == parsed.width && again.height == parsed.height);
    return 0;
}
