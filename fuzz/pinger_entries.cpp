// The pinger's stored retry groups as read back from disk, whatever they
// hold: a retry pass keeps no more entries than the group limit, believes
// no count above the retry count, sends only http(s) URLs, and leaves every
// value that is not a retry entry as it was.
//
// Input: JSON text of a group (a dictionary), as the defaults file holds it.

#include <cstdint>
#include <set>

#include "FuzzCheck.h"
#include "ads/web/net/DZPinger.h"
#include "core/JSON.h"

using ads::DZPinger;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const auto decoded = core::JSON::parse(fuzz::text(data, size));
    if (!decoded || !decoded->dictionary()) return 0;
    const core::Dictionary& stored = *decoded->dictionary();
    const std::int64_t limit = size % 12;
    constexpr std::int64_t kRetries = 3;
    // Every third entry is taken to be in flight.
    std::set<std::string> inFlight;
    size_t index = 0;
    for (const auto& [url, entry] : stored)
        if (index++ % 3 == 2) inFlight.insert(url);

    const auto pass = DZPinger::planRetryPass(
        stored, limit, kRetries, [&](const std::string& url) { return inFlight.contains(url); });
    std::int64_t retryEntries = 0;
    for (const auto& [url, entry] : pass.group) {
        const core::Value* before = stored.find(url);
        FUZZ_CHECK(before);
        if (!DZPinger::isRetryEntry(entry)) {
            FUZZ_CHECK(*before == entry);
            continue;
        }
        ++retryEntries;
        if (!inFlight.contains(url))
            FUZZ_CHECK(entry[DZPinger::kRetryCountKey].intValue() < kRetries);
    }
    FUZZ_CHECK(retryEntries <= std::max<std::int64_t>(limit, 0));
    FUZZ_CHECK(static_cast<std::int64_t>(pass.sends.size()) <= retryEntries);
    for (const std::string& url : pass.sends) {
        const auto parsed = core::URL::create(url);
        FUZZ_CHECK(parsed && parsed->isHTTPorHTTPS());
        FUZZ_CHECK(!inFlight.contains(url));
    }
    for (const auto& [url, entry] : stored)
        if (!DZPinger::isRetryEntry(entry)) FUZZ_CHECK(pass.group.find(url));
    return 0;
}
