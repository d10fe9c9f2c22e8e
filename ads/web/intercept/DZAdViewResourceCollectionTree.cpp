// DZAdViewResourceCollection: the resource tree, built on the lock queue.

#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZURLUtilities.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"

namespace ads {

namespace {

// The canonical text under which a URL is indexed.
std::optional<std::string> canonicalKey(const std::optional<core::URL>& url) {
    const auto canonical = DZCanonicalURL(url);
    if (!canonical) return std::nullopt;
    return canonical->absoluteString();
}

// A Referer is the engine's: taken as it wrote it. None without one.
std::optional<std::string> refererKey(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return canonicalKey(core::URL::createFromWeb(*text));
}

// A Location is the server's own: none when it forms no URL.
std::optional<std::string> locationKey(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return canonicalKey(core::URL::create(*text));
}

}  // namespace

void DZAdViewResourceCollection::addResourceRequest(const DZAdViewResourceRequest& record) {
    if (const auto existing = resourceForRequest(record)) {
        existing->addRequestHeaders(record.headers());
        return;
    }
    const size_t index = resources_.size();
    const auto resource = DZAdViewResource::create(record, std::int64_t(index));
    resources_.push_back(resource);
    // The first resource of a URL stays the one its referrers lead to.
    if (const auto key = canonicalKey(record.URL())) {
        requestIndexForCanonicalURL_.try_emplace(*key, index);
    }
    addParentForResource(resource);
    classifyResource(resource);
}

std::shared_ptr<DZAdViewResource>
DZAdViewResourceCollection::resourceForRequest(const DZAdViewResourceRequest& record) const {
    const std::size_t hash = record.hash();
    for (const auto& resource : resources_) {
        if (resource->request().hash() == hash && resource->request() == record) return resource;
    }
    return nullptr;
}

std::shared_ptr<DZAdViewResource>
DZAdViewResourceCollection::resourceAddingRequest(const DZAdViewResourceRequest& record) {
    auto resource = resourceForRequest(record);
    if (!resource) {
        addResourceRequest(record);
        resource = resources_.back();
    }
    resource->addRequestHeaders(record.headers());
    return resource;
}

void DZAdViewResourceCollection::addParentForResource(
    const std::shared_ptr<DZAdViewResource>& resource) {
    auto parent = redirectSourceForRequest(resource->request());
    if (!parent) parent = referringResourceForRequest(resource->request());
    if (parent) parent->addChild(resource);
}

std::shared_ptr<DZAdViewResource>
DZAdViewResourceCollection::redirectSourceForRequest(const DZAdViewResourceRequest& record) {
    const auto key = canonicalKey(record.URL());
    if (!key) return nullptr;
    const auto sources = requestIndicesForRedirectToURL_.find(*key);
    if (sources == requestIndicesForRedirectToURL_.end() || sources->second.empty()) {
        return nullptr;
    }
    // Each redirect leads to one resource.
    const size_t index = sources->second.front();
    sources->second.pop_front();
    return index < resources_.size() ? resources_[index] : nullptr;
}

std::shared_ptr<DZAdViewResource> DZAdViewResourceCollection::referringResourceForRequest(
    const DZAdViewResourceRequest& record) const {
    auto key = refererKey(record.headers().value("Referer"));
    if (!key) key = canonicalKey(record.mainDocumentURL());
    if (!key) return nullptr;
    const auto found = requestIndexForCanonicalURL_.find(*key);
    if (found == requestIndexForCanonicalURL_.end() || found->second >= resources_.size()) {
        return nullptr;
    }
    return resources_[found->second];
}

void DZAdViewResourceCollection::addRedirectDestinationForResource(
    const std::shared_ptr<DZAdViewResource>& resource) {
    const auto& response = resource->response();
    const auto key = locationKey(response ? response->value("Location") : std::nullopt);
    if (!key) return;
    requestIndicesForRedirectToURL_[*key].push_back(size_t(resource->sequenceNumber()));
}

void DZAdViewResourceCollection::classifyResource(
    const std::shared_ptr<DZAdViewResource>& resource) {
    DZRunOnMainThread([self = shared_from_this(), resource] {
        const bool touched = self->adView_.touched && self->adView_.touched();
        self->lockQueue_->async([resource, touched] {
            if (resource->type() != DZAdViewResource::kUnclassified) return;
            resource->setType(touched ? DZAdViewResource::kAfterTouch
                                      : DZAdViewResource::kBeforeTouch);
        });
    });
}

}  // namespace ads
