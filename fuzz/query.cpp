// Query and URL helpers of the SDK: adding parameters keeps the URL's other
// parts and reads back, reading queries and the canonical form never fail
// on odd input, escaping decodes back.
//
// Input: "URL\nvalue"; the value goes in under a key of our own.

#include <cstdint>

#include "FuzzCheck.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/foundation/DZURLLists.h"
#include "ads/foundation/DZURLUtilities.h"
#include "core/PercentEncoding.h"
#include "core/Unicode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const auto [urlText, value] = fuzz::splitLine(fuzz::text(data, size));
    // Values are text: escaped UTF-8 decodes back (other bytes do not decode).
    const bool text = core::Unicode::isValidUTF8(value);
    const std::string escaped = ads::DZPercentEscapedString(value);
    if (text) FUZZ_CHECK(core::percentDecode(escaped) == std::string(value));
    (void)ads::DZURLsFromWhitespaceSeparatedString(fuzz::text(data, size));

    const auto url = core::URL::create(urlText);
    if (!url) return 0;
    (void)ads::DZQueryDictionaryFromURL(url, true);
    (void)ads::DZQueryValuesForKey(url, "adurl");
    (void)ads::DZURLStringWithoutFragment(url);
    (void)ads::DZURLPathSegmentPair(url);
    if (const auto canonical = ads::DZCanonicalURL(url)) {
        (void)ads::DZStringByRemovingTrailingSlash(canonical->absoluteString());
    }

    constexpr std::string_view kKey = "fzk";
    const bool keyTaken = ads::DZQueryValuesForKey(url, kKey).has_value();
    const auto added =
        ads::DZURLByAddingQueryParameters(url, {{std::string(kKey), std::string(value)}});
    FUZZ_CHECK(added);
    FUZZ_CHECK(added->scheme() == url->scheme());
    FUZZ_CHECK(added->host() == url->host());
    FUZZ_CHECK(added->path() == url->path());
    FUZZ_CHECK(added->fragment() == url->fragment() || ads::DZQueryValuesForKey(url, "adurl"));
    if (!keyTaken && !value.empty() && text) {
        FUZZ_CHECK(ads::DZQueryValueForKey(added, kKey) == std::string(value));
    }
    return 0;
}
