// The SDK's string encodings: any text decodes or fails cleanly with each
// codec; decoded bytes encode to text that decodes to the same bytes, and
// any bytes survive encode then decode.
//
// Input: the first byte picks the codec, the rest is the text or bytes.

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <span>

#include "FuzzCheck.h"
#include "ads/foundation/DZStringEncoding.h"

namespace {

ads::DZStringEncoding codec(std::uint8_t pick) {
    using E = ads::DZStringEncoding;
    static constexpr E (*kCodecs[])() = {
        E::binaryStringEncoding,
        E::hexStringEncoding,
        E::rfc4648Base32StringEncoding,
        E::rfc4648Base32HexStringEncoding,
        E::crockfordBase32StringEncoding,
        E::rfc4648Base64StringEncoding,
        E::rfc4648Base64WebsafeStringEncoding,
    };
    return kCodecs[pick % std::size(kCodecs)]();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) return 0;
    ads::DZStringEncoding encoding = codec(data[0]);
    // Half the runs pad with a character the input chooses, when accepted.
    if (data[0] & 0x80 && size > 1 && encoding.setPaddingChar(char(data[1]))) {
        encoding.setDoPad(true);
    }
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    const auto roundTrip = encoding.decode(encoding.encode(rest));
    FUZZ_CHECK(roundTrip &&
               std::equal(roundTrip->begin(), roundTrip->end(), rest.begin(), rest.end()));

    const auto decoded = encoding.decode(fuzz::text(data + 1, size - 1));
    (void)encoding.stringByDecoding(fuzz::text(data + 1, size - 1));
    if (!decoded) return 0;
    const auto again = encoding.decode(encoding.encode(*decoded));
    FUZZ_CHECK(again && *again == *decoded);
    return 0;
}
