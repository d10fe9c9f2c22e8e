#include "ads/mediation/core/DZMediatedAd.h"

#include <cerrno>
#include <cstdlib>

#include "ads/core/request/DZAdLoaderConfiguration.h"
#include "ads/core/request/DZAdSize.h"
#include "ads/core/request/ZODBannerViewOptions.h"
#include "ads/core/slot/DZSlot.h"
#include "ads/mediation/core/DZMAdNetworkConfig.h"
#include "ads/mediation/core/DZMAdNetworkConnectorBanner.h"
#include "ads/mediation/core/DZMConfig.h"
#include "ads/native/DZAdLoader.h"
#include "ads/native/DZAdLoaderDelegate.h"
#include "ads/native/DZLoadable.h"
#include "ads/presentation/DZAppEventDelegate.h"
#include "ads/presentation/banner/DZBannerView.h"
#include "ui/View.h"

namespace ads {

void DZMediatedAd::addClickHandler(Handler handler) {
    if (handler) clickHandlers_.push_back(std::move(handler));
}

void DZMediatedAd::addImpressionHandler(Handler handler) {
    if (handler) impressionHandlers_.push_back(std::move(handler));
}

// A handler may add handlers; those run from the next report on.
void DZMediatedAd::reportClick() const {
    const auto handlers = clickHandlers_;
    for (const auto& handler : handlers) handler();
}

void DZMediatedAd::reportImpression() const {
    const auto handlers = impressionHandlers_;
    for (const auto& handler : handlers) handler();
}

std::shared_ptr<DZLoadable> DZMediatedAd::loadableAdForAdLoader(DZAdLoader&) { return nullptr; }

DZMediatedBannerAd::DZMediatedBannerAd(std::shared_ptr<ui::View> view,
                                       std::shared_ptr<DZMAdNetworkConnectorBanner> connector)
    : view_(std::move(view)), connector_(std::move(connector)) {
    if (connector_) setAdNetworkClassName(connector_->networkConfig()->adapterClass());
}

namespace {

// One side of a size: a number that takes the whole text, spaces around it
// allowed.
std::optional<double> sizeSide(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(begin, &end);
    if (end == begin || errno == ERANGE) return std::nullopt;
    while (*end == ' ') ++end;
    if (*end != '\0') return std::nullopt;
    return value;
}

}  // namespace

// Read as the size string "{w,h}" that replacing the "x" makes.
gfx::Size DZMediatedBannerAd::sizeFromSlotSizeText(const std::string& text) {
    const size_t separator = text.find('x');
    if (separator == std::string::npos || text.find('x', separator + 1) != std::string::npos)
        return {};
    const auto width = sizeSide(text.substr(0, separator));
    const auto height = sizeSide(text.substr(separator + 1));
    if (!width || !height) return {};
    return {*width, *height};
}

gfx::Size DZMediatedBannerAd::bannerSize() const {
    std::optional<std::string> text;
    if (connector_) {
        const auto& sizes = connector_->networkConfig()->slotSizes();
        if (sizes && !sizes->empty()) {
            if (const std::string* first = sizes->front().string()) text = *first;
            else text = std::string();
        } else if (const auto& fallback = connector_->mediationConfig()->defaultSlotSize()) {
            if (const std::string* value = fallback->string()) text = *value;
        }
    }
    gfx::Size size = text ? sizeFromSlotSizeText(*text) : gfx::Size{};
    if (size.width == 0 && size.height == 0 && view_) size = view_->frame().size;
    return size;
}

std::shared_ptr<DZBannerView> DZMediatedBannerAd::bannerForAdLoader(DZAdLoader& loader) {
    std::shared_ptr<const ZODBannerViewOptions> options;
    if (const auto& configuration = loader.adLoaderConfiguration()) {
        const auto byClass = configuration->adConfiguration().optionsByClass();
        if (const auto found = byClass.find(ZODBannerViewOptions::kClassName);
            found != byClass.end())
            options = std::dynamic_pointer_cast<const ZODBannerViewOptions>(found->second);
    }
    const auto banner = DZBannerView::createWithAdSize(DZAdSizeMatchKnownSize(bannerSize()));
    if (!banner) return nullptr;
    banner->setAdUnitID(loader.adUnitID());

    const auto appEventDelegate = options ? options->appEventDelegate() : nullptr;
    if (connector_) {
        const auto events = connector_->takeQueuedAppEvents();
        if (appEventDelegate)
            for (const auto& event : events)
                appEventDelegate->didReceiveAppEvent(*banner, event.name, event.info);
    }
    if (options) banner->setAdSizeDelegate(options->adSizeDelegate());

    if (const auto& slot = banner->slot()) {
        slot->setMediationConnector(connector_);
        slot->setViewForAdUsingView(view_);
        slot->didReceiveValidAd();
        slot->adFinishedLoadingContent();
    }
    return banner;
}

std::shared_ptr<DZLoadable> DZMediatedBannerAd::loadableAdForAdLoader(DZAdLoader& loader) {
    return std::dynamic_pointer_cast<DZLoadable>(bannerForAdLoader(loader));
}

}  // namespace ads
