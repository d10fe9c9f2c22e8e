#pragma once
// What an ad response is, as its "x-duzo-" headers say (DZAd::responseType).

#include <cstdint>

namespace ads {

enum DZAdResponseType : std::uint64_t {
    // Mediation announced with a body that is not JSON: the fetch fails.
    DZAdResponseTypeInvalid = 0,
    DZAdResponseTypeHTML = 1,
    // A mediation response; its JSON body is the mediation configuration.
    DZAdResponseTypeMediation = 2,
    DZAdResponseTypeNative = 3,
    // An ad the publisher may render itself.
    DZAdResponseTypeCustomRendering = 4,
};

}  // namespace ads
