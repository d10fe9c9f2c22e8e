#include "ads/web/intercept/DZAdViewResource.h"

#include <algorithm>

#include "ads/foundation/DZHashing.h"
#include "ads/foundation/DZThreading.h"
#include "ads/web/intercept/DZHostAddressResolution.h"

namespace ads {

DZAdViewResource::DZAdViewResource(DZAdViewResourceRequest request, std::int64_t sequenceNumber)
    : networkAddressQueue_(DZCreateHostResolutionQueue(DZQueueLabel("ad-view-resource"))),
      networkAddress_(std::make_shared<std::optional<std::string>>()), request_(std::move(request)),
      sequenceNumber_(sequenceNumber) {}

std::shared_ptr<DZAdViewResource> DZAdViewResource::create(DZAdViewResourceRequest request,
                                                           std::int64_t sequenceNumber) {
    auto resource = std::make_shared<DZAdViewResource>(std::move(request), sequenceNumber);
    const DZAdViewResourceRequest& record = resource->request_;
    std::string host = record.URL().host();
    if (host.empty() && record.mainDocumentURL()) host = record.mainDocumentURL()->host();
    resource->networkAddressQueue_->async([address = resource->networkAddress_,
                                           host = std::move(host),
                                           resolver = DZCurrentHostResolver()] {
        if (!host.empty()) *address = resolver(host);
    });
    return resource;
}

std::optional<std::string> DZAdViewResource::networkAddress() const {
    std::optional<std::string> address;
    networkAddressQueue_->sync([&] { address = *networkAddress_; });
    return address;
}

void DZAdViewResource::addChild(const std::shared_ptr<DZAdViewResource>& child) {
    if (!child || child.get() == this) return;
    if (const auto previous = child->parent()) {
        std::erase(previous->children_, child);
    }
    children_.push_back(child);
    child->parent_ = weak_from_this();
}

size_t DZAdViewResource::appendContent(std::span<const std::uint8_t> bytes, size_t allowance) {
    return content_.append(bytes, DZCapturedBytes::kResourceLimit, allowance);
}

void DZAdViewResource::addRequestHeaders(const core::HTTPHeaders& headers) {
    if (headers.empty()) return;
    const core::HTTPHeaders& stored = request_.headers();
    if (stored.empty()) {
        request_ = request_.resourceRequestWithHeaders(headers);
        return;
    }
    if (!DZAdViewResourceRequest::ordinaryHeadersMatch(headers, stored, true) &&
        !DZAdViewResourceRequest::ordinaryHeadersMatch(stored, headers, true)) {
        return;
    }
    core::HTTPHeaders merged = stored;
    for (const auto& [name, value] : headers) merged.set(name, *headers.value(name));
    request_ = request_.resourceRequestWithHeaders(std::move(merged));
}

std::string DZAdViewResource::description() const {
    return "DZAdViewResource #" + std::to_string(sequenceNumber_) + " (" +
           request_.URL().absoluteString() + ")";
}

core::Dictionary DZAdViewResource::dictionaryRepresentationExcludingHeaders(
    const std::set<std::string>& excludedHeaders) const {
    core::Dictionary dictionary{
        {"id", sequenceNumber_},
        {"url", request_.URL().absoluteString()},
        {"request", request_.dictionaryRepresentationExcludingHeaders(excludedHeaders)},
    };

    core::Dictionary response;
    if (response_) {
        response.set("headers",
                     DZAdViewResourceRequest::headerList(response_->headers(), excludedHeaders));
        response.set("firstline", core::Dictionary{{"code", response_->statusCode()}});
    }
    content_.addReportEntries(response);
    if (const auto address = networkAddress()) response.set("remote_ip", DZBase64String(*address));
    if (!response.empty()) dictionary.set("response", std::move(response));

    if (const auto parent = this->parent()) dictionary.set("parent_id", parent->sequenceNumber_);
    core::Array childIDs;
    for (const auto& child : children_) childIDs.emplace_back(child->sequenceNumber_);
    dictionary.set("child_ids", std::move(childIDs));
    dictionary.set("ad_resource_type", type_);
    return dictionary;
}

}  // namespace ads
