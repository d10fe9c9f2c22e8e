// The fetcher's "x-duzo-" headers: any set of response headers is applied
// to an ad without failing, the ad's type is one of the five, and a refresh
// rate is only ever taken within its bounds.
//
// Input: lines "name: value"; a name without the "x-duzo-" prefix gets it
// (so the fuzzer spends its time on the headers the SDK reads).

#include <cstdint>

#include "FuzzCheck.h"
#include "ads/core/response/DZAd.h"
#include "ads/core/response/DZAdFetcher.h"
#include "core/RunLoop.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::useTemporaryHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    core::Dictionary headers;
    std::string_view rest = fuzz::text(data, size);
    while (!rest.empty()) {
        const auto [line, next] = fuzz::splitLine(rest);
        rest = next;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        std::string name(line.substr(0, colon));
        if (!name.starts_with("x-duzo-") && !name.starts_with("X-DUZO-") && name != "Content-Type")
            name = "x-duzo-" + name;
        std::string_view value = line.substr(colon + 1);
        if (value.starts_with(' ')) value.remove_prefix(1);
        // Content hashing runs timers over the views: not a parser's work.
        if (name == "x-duzo-content-url-opted-out") continue;
        headers.set(std::move(name), std::string(value));
    }

    auto ad = std::make_shared<ads::DZAd>();
    const auto fetcher = std::make_shared<ads::DZAdFetcher>();
    ads::Error error;
    // Without a request the headers alone make the response.
    (void)fetcher->fetchRequestURL(std::nullopt, {}, headers, ad, &error);
    fetcher->processHTTPHeaders(headers);
    FUZZ_CHECK(ad->responseType() <= 4);
    const double interval = ad->reloadInterval();
    FUZZ_CHECK(interval >= 0 && interval <= ads::DZAd::kMaximumReloadInterval);
    fetcher->cancel();
    // The request-less completion was posted to the main queue.
    (void)core::RunLoop::main().runOnce(0);
    return 0;
}
