#pragma once
// One node of an ad page's resource tree: the request, the response and the
// body bytes that came back, the resource that led to it (a redirect or a
// referrer) and those it led to, a classification, and the address of its
// host. It renders itself as an entry of the safe-browsing report's
// "resources" list.
//
// Threading: the owning collection calls every member on its own serial
// queue. The host address is looked up at creation on the resource's own
// queue (DZCreateHostResolutionQueue); networkAddress() waits for it.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "ads/web/intercept/DZAdViewResourceRequest.h"
#include "ads/web/intercept/DZCapturedBytes.h"
#include "core/HTTPURLResponse.h"
#include "core/Queue.h"

namespace ads {

class DZAdViewResource : public std::enable_shared_from_this<DZAdViewResource> {
public:
    // Values of type().
    static constexpr std::int64_t kUnclassified = 0;
    static constexpr std::int64_t kBeforeTouch = 1;
    static constexpr std::int64_t kAfterTouch = 2;
    static constexpr std::int64_t kAutoClick = 3;

    // Starts the look-up of the request URL's host, or, without one, of the
    // main-document URL's host.
    [[nodiscard]] static std::shared_ptr<DZAdViewResource> create(DZAdViewResourceRequest request,
                                                                  std::int64_t sequenceNumber);

    [[nodiscard]] const DZAdViewResourceRequest& request() const { return request_; }
    [[nodiscard]] std::int64_t sequenceNumber() const { return sequenceNumber_; }
    [[nodiscard]] std::shared_ptr<DZAdViewResource> parent() const { return parent_.lock(); }
    [[nodiscard]] const std::vector<std::shared_ptr<DZAdViewResource>>& children() const {
        return children_;
    }
    [[nodiscard]] std::int64_t type() const { return type_; }
    void setType(std::int64_t type) { type_ = type; }
    [[nodiscard]] const std::optional<core::HTTPURLResponse>& response() const { return response_; }
    void setResponse(std::optional<core::HTTPURLResponse> response) {
        response_ = std::move(response);
    }
    [[nodiscard]] const DZCapturedBytes& content() const { return content_; }
    // Waits for the look-up; none when it failed.
    [[nodiscard]] std::optional<std::string> networkAddress() const;

    // Moves the child here from its parent; adding a resource to itself
    // does nothing.
    void addChild(const std::shared_ptr<DZAdViewResource>& child);
    // Counts the bytes and keeps those that fit below
    // DZCapturedBytes::kResourceLimit and allowance; answers the number kept.
    size_t appendContent(std::span<const std::uint8_t> bytes, size_t allowance = SIZE_MAX);
    // Counts body bytes that were seen but not copied here.
    void countContent(std::uint64_t length) { content_.count(length); }
    // Headers seen again for an equal request: merged (given values win)
    // when either side's ordinary headers are all in the other with the
    // same values; otherwise the record stays as it is.
    void addRequestHeaders(const core::HTTPHeaders& headers);

    // "DZAdViewResource #3 (https://a.example/x.js)"
    [[nodiscard]] std::string description() const;
    // The report entry: "id", "url", "request", "response" (when it has an
    // entry), "parent_id" (with a parent), "child_ids", "ad_resource_type".
    // Waits for the host look-up.
    [[nodiscard]] core::Dictionary
    dictionaryRepresentationExcludingHeaders(const std::set<std::string>& excludedHeaders) const;

    DZAdViewResource(DZAdViewResourceRequest request, std::int64_t sequenceNumber);

private:
    std::vector<std::shared_ptr<DZAdViewResource>> children_;
    DZCapturedBytes content_;
    std::shared_ptr<core::Queue> networkAddressQueue_;
    // Written once by the look-up on networkAddressQueue_, read there.
    std::shared_ptr<std::optional<std::string>> networkAddress_;
    DZAdViewResourceRequest request_;
    std::int64_t sequenceNumber_;
    std::weak_ptr<DZAdViewResource> parent_;
    std::int64_t type_ = kUnclassified;
    std::optional<core::HTTPURLResponse> response_;
};

}  // namespace ads
