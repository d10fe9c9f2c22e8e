// MRAID resize properties from an ad's "resize" message: any parameters
// give properties whose size is at least the close button and within the
// screen's limit, or none; and a frame accepted as valid always keeps the
// close button on screen.
//
// Input: a screen size, then the six parameters as texts.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>

#include "FuzzCheck.h"
#include "ads/web/intercept/DZMRAIDResizeProperties.h"

using ads::DZMRAIDResizeProperties;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const gfx::Size screen{double(input.ConsumeIntegralInRange(1, 4096)),
                           double(input.ConsumeIntegralInRange(1, 4096))};
    core::Dictionary parameters;
    for (const char* key :
         {"width", "height", "offsetX", "offsetY", "customClosePosition", "allowOffscreen"}) {
        if (input.ConsumeBool()) parameters.set(key, input.ConsumeRandomLengthString(24));
    }
    const auto properties = DZMRAIDResizeProperties::create(core::Value(parameters), screen);
    if (!properties) return 0;
    const double limit =
        DZMRAIDResizeProperties::kMaximumScreenMultiple * std::max(screen.width, screen.height);
    const gfx::Size resized = properties->size();
    for (const double side : {resized.width, resized.height})
        FUZZ_CHECK(side >= DZMRAIDResizeProperties::kMinimumSide && side <= limit);
    const gfx::Size offset = properties->offset();
    FUZZ_CHECK(std::fabs(offset.width) <= limit && std::fabs(offset.height) <= limit);

    // The frame the presenter would try: the ad's place moved by the offset.
    const gfx::Rect bounds{{0, 0}, screen};
    const gfx::Rect frame{{offset.width, offset.height}, resized};
    const std::int64_t position = properties->customClosePosition();
    if (DZMRAIDResizeProperties::isContentFrameValid(frame, bounds, properties->allowOffscreen(),
                                                     position)) {
        const gfx::Rect button =
            DZMRAIDResizeProperties::closeButtonRectForPosition(position, frame);
        FUZZ_CHECK(button.intersection(bounds) == button);
    }
    return 0;
}
