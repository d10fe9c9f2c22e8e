// The SDK's JSON repair: any collection (NaN and infinite numbers, dates of
// any value, data, text that is not UTF-8, nesting) becomes one that writes
// as JSON; and reading any text as JSON fails cleanly.
//
// Input: the bytes describe the collection (see valueFrom), and are read as
// JSON text too.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

#include "FuzzCheck.h"
#include "ads/foundation/DZJSONAdditions.h"

namespace {

core::Value valueFrom(FuzzedDataProvider& input, int depth) {
    switch (input.ConsumeIntegralInRange(0, depth > 6 ? 5 : 7)) {
    case 0:
        return core::Value();
    case 1:
        return core::Value(input.ConsumeBool());
    case 2:
        return core::Value(input.ConsumeIntegral<std::int64_t>());
    case 3:
        return core::Value(input.ConsumeFloatingPoint<double>());
    case 4:
        return core::Value(core::Date{input.ConsumeFloatingPoint<double>()});
    case 5:
        return core::Value(input.ConsumeRandomLengthString(32));
    case 6: {
        core::Array array;
        const int count = input.ConsumeIntegralInRange(0, 4);
        for (int i = 0; i < count; ++i) array.push_back(valueFrom(input, depth + 1));
        return core::Value(std::move(array));
    }
    default: {
        core::Dictionary dictionary;
        const int count = input.ConsumeIntegralInRange(0, 4);
        for (int i = 0; i < count; ++i) {
            std::string key = input.ConsumeRandomLengthString(8);
            dictionary.set(std::move(key), valueFrom(input, depth + 1));
        }
        return core::Value(std::move(dictionary));
    }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    ads::Error error;
    (void)ads::dz_decodedJSONObjectError(fuzz::text(data, size), &error);

    FuzzedDataProvider input(data, size);
    core::Dictionary dictionary;
    while (input.remaining_bytes() > 0) {
        std::string key = input.ConsumeRandomLengthString(8);
        dictionary.set(std::move(key), valueFrom(input, 0));
    }
    const core::Dictionary safe = ads::dz_JSONSafeDictionary(dictionary);
    FUZZ_CHECK(ads::dz_JSONStringPretty(safe, false, nullptr));
    const core::Array safeArray = ads::dz_JSONSafeArray(core::Array{core::Value(dictionary)});
    FUZZ_CHECK(ads::dz_JSONStringPretty(safeArray, true, nullptr));
    return 0;
}
