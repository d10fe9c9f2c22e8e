#include "ads/web/intercept/DZAdViewResourceCollection.h"

#include <algorithm>
#include <atomic>

#include "ads/core/response/DZAd.h"
#include "ads/foundation/DZSafeBrowsingReporter.h"
#include "ads/foundation/DZThreading.h"

namespace ads {

namespace {

std::atomic<bool> greedyCollection{true};

}  // namespace

std::shared_ptr<DZAdViewResourceCollection>
DZAdViewResourceCollection::create(DZResourceCollectionAdView adView) {
    return std::make_shared<DZAdViewResourceCollection>(std::move(adView));
}

DZAdViewResourceCollection::DZAdViewResourceCollection(DZResourceCollectionAdView adView)
    : adView_(std::move(adView)), lockQueue_(core::Queue::serial(DZQueueLabel("url-collection"))) {}

void DZAdViewResourceCollection::setGreedyCollectionEnabled(bool enabled) {
    greedyCollection = enabled;
}

bool DZAdViewResourceCollection::isGreedyCollectionEnabled() {
    return greedyCollection;
}

void DZAdViewResourceCollection::setMainDocumentURL(std::optional<core::URL> url) {
    lockQueue_->async([self = shared_from_this(), url = std::move(url)] {
        if (self->mainDocumentURL_ == url) return;
        self->mainDocumentURL_ = url;
        if (!greedyCollection) {
            self->resources_.clear();
            self->requestIndexForCanonicalURL_.clear();
            self->requestIndicesForRedirectToURL_.clear();
            self->clickthroughURLs_.clear();
            self->keptBodyBytes_ = 0;
        }
        self->imageData_.reset();
        self->safeBrowsingReporter_.reset();
        ++self->pageGeneration_;
    });
}

std::optional<core::URL> DZAdViewResourceCollection::mainDocumentURL() const {
    std::optional<core::URL> url;
    lockQueue_->sync([&] { url = mainDocumentURL_; });
    return url;
}

void DZAdViewResourceCollection::addURLRequest(const core::URLRequest& request) {
    updateSafeBrowsingReporter();
    lockQueue_->async([self = shared_from_this(), record = DZAdViewResourceRequest(request)] {
        self->addResourceRequest(record);
    });
}

void DZAdViewResourceCollection::addURLResponse(const core::HTTPURLResponse& response,
                                                const core::URLRequest& request) {
    updateSafeBrowsingReporter();
    lockQueue_->async(
        [self = shared_from_this(), record = DZAdViewResourceRequest(request), response] {
            const auto resource = self->resourceAddingRequest(record);
            if (resource->response() == response) return;
            resource->setResponse(response);
            if (response.statusCode() >= 300 && response.statusCode() <= 399) {
                self->addRedirectDestinationForResource(resource);
            }
        });
}

void DZAdViewResourceCollection::addResourceData(std::span<const std::uint8_t> data,
                                                 const core::URLRequest& request) {
    lockQueue_->async([self = shared_from_this(), record = DZAdViewResourceRequest(request),
                       bytes = core::Data(data.begin(), data.end())] {
        const auto resource = self->resourceAddingRequest(record);
        self->keptBodyBytes_ +=
            resource->appendContent(bytes, kCollectionBodyLimit - self->keptBodyBytes_);
    });
}

void DZAdViewResourceCollection::addUncapturedResourceData(std::uint64_t length,
                                                           const core::URLRequest& request) {
    lockQueue_->async([self = shared_from_this(), record = DZAdViewResourceRequest(request),
                       length] { self->resourceAddingRequest(record)->countContent(length); });
}

void DZAdViewResourceCollection::addClickthroughURL(const core::URL& url) {
    lockQueue_->async([self = shared_from_this(), url] { self->clickthroughURLs_.push_back(url); });
}

void DZAdViewResourceCollection::addAutoClickRequest(const core::URLRequest& request) {
    lockQueue_->async([self = shared_from_this(), record = DZAdViewResourceRequest(request)] {
        self->addResourceRequest(record);
        if (const auto resource = self->resourceForRequest(record)) {
            resource->setType(DZAdViewResource::kAutoClick);
        }
    });
}

void DZAdViewResourceCollection::updateSafeBrowsingReporter() {
    DZRunOnMainThread([self = shared_from_this()] {
        const auto ad = self->adView_.ad ? self->adView_.ad() : nullptr;
        self->lockQueue_->async([self, reporter = ad ? ad->safeBrowsingReporter() : nullptr] {
            if (!self->safeBrowsingReporter_) self->safeBrowsingReporter_ = reporter;
        });
    });
}

std::shared_ptr<DZSafeBrowsingReporter> DZAdViewResourceCollection::safeBrowsingReporter() const {
    std::shared_ptr<DZSafeBrowsingReporter> reporter;
    lockQueue_->sync([&] { reporter = safeBrowsingReporter_; });
    return reporter;
}

void DZAdViewResourceCollection::adViewDidFinishLayout() {
    // The page generation is read in queue order, so that a page change
    // posted before this call discards nothing rendered for the new page.
    lockQueue_->async([self = shared_from_this()] {
        DZRunOnMainThread([self, generation = self->pageGeneration_] {
            const auto ad = self->adView_.ad ? self->adView_.ad() : nullptr;
            auto reporter = ad ? ad->safeBrowsingReporter() : nullptr;
            if (!reporter || !reporter->shouldSendRenderedAd() || !self->adView_.renderImage) {
                return;
            }
            self->adView_.renderImage(
                [self, generation, reporter = std::move(reporter)](gfx::ImagePtr image) {
                    self->lockQueue_->async([self, generation, reporter, image] {
                        self->storeRenderedImage(reporter, generation, image);
                    });
                });
        });
    });
}

void DZAdViewResourceCollection::storeRenderedImage(
    const std::shared_ptr<DZSafeBrowsingReporter>& reporter, std::uint64_t generation,
    const gfx::ImagePtr& image) {
    if (!image || generation != pageGeneration_ || reporter != safeBrowsingReporter_) return;
    imageData_ = image->encodePng();
}

bool DZAdViewResourceCollection::isMalicious() const {
    bool malicious = false;
    lockQueue_->sync([&] {
        malicious = std::any_of(resources_.begin(), resources_.end(), [](const auto& resource) {
            return resource->type() == DZAdViewResource::kAutoClick;
        });
    });
    return malicious;
}

}  // namespace ads
