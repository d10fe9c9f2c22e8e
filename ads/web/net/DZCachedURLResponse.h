#pragma once
// One entry of DZURLConnection's memory cache: the response and its body
// (kept as a platform cached response), when the entry stops being valid,
// and the URL that the load which produced it ended at. Not thread-safe:
// set its fields before sharing it.

#include <memory>
#include <optional>

#include "core/CachedURLResponse.h"
#include "core/HTTPURLResponse.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZCachedURLResponse {
public:
    // nullptr without a response, data or expiration date; the destination
    // URL may be missing.
    [[nodiscard]] static std::shared_ptr<DZCachedURLResponse>
    create(std::optional<core::HTTPURLResponse> response, std::optional<core::Data> data,
           std::optional<core::Date> expirationDate, std::optional<core::URL> destinationURL);

    [[nodiscard]] const core::CachedURLResponse& cachedURLResponse() const {
        return cachedURLResponse_;
    }
    [[nodiscard]] const core::HTTPURLResponse& response() const {
        return cachedURLResponse_.response();
    }
    [[nodiscard]] const core::Data& data() const { return cachedURLResponse_.data(); }

    [[nodiscard]] core::Date expirationDate() const { return expirationDate_; }
    void setExpirationDate(core::Date date) { expirationDate_ = date; }
    [[nodiscard]] const std::optional<core::URL>& destinationURL() const { return destinationURL_; }
    void setDestinationURL(std::optional<core::URL> url) { destinationURL_ = std::move(url); }

    DZCachedURLResponse(core::CachedURLResponse cachedURLResponse, core::Date expirationDate,
                        std::optional<core::URL> destinationURL)
        : cachedURLResponse_(std::move(cachedURLResponse)), expirationDate_(expirationDate),
          destinationURL_(std::move(destinationURL)) {}

private:
    core::CachedURLResponse cachedURLResponse_;
    core::Date expirationDate_;
    std::optional<core::URL> destinationURL_;
};

}  // namespace ads
