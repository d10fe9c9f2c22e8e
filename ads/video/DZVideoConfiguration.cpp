#include "ads/video/DZVideoConfiguration.h"

#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZThreading.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

// The value under key when it answers a bool, integer or double reading.
const core::Value* readable(const core::Dictionary& dictionary, std::string_view key) {
    const core::Value* value = dictionary.find(key);
    if (!value || !(value->isNumber() || value->isBool() || value->isString())) return nullptr;
    return value;
}

void readBool(const core::Dictionary& dictionary, std::string_view key, bool& field) {
    if (const auto* value = readable(dictionary, key)) field = value->boolValue();
}

void readInteger(const core::Dictionary& dictionary, std::string_view key, std::int64_t& field) {
    if (const auto* value = readable(dictionary, key)) field = value->intValue();
}

void readMilliseconds(const core::Dictionary& dictionary, std::string_view key, double& field) {
    if (const auto* value = readable(dictionary, key)) field = value->doubleValue() / 1000;
}

}  // namespace

std::shared_ptr<DZVideoConfiguration>
DZVideoConfiguration::create(const core::Dictionary& dictionary) {
    auto configuration = std::make_shared<DZVideoConfiguration>(Token{});
    const core::Dictionary effective = effectiveDictionary(dictionary);
    configuration->loadStaticConfiguration(effective);
    configuration->lockQueue_->sync(
        [&] { configuration->loadDynamicConfiguration(effective); });
    return configuration;
}

DZVideoConfiguration::DZVideoConfiguration(Token)
    : lockQueue_(DZCreateQueueWithQoS(DZQueueLabel("video-configuration"), DZQoSBackground)) {}

core::Dictionary DZVideoConfiguration::effectiveDictionary(const core::Dictionary& dictionary) {
    core::Dictionary effective;
    const auto text = core::UserDefaults::standard()->stringForKey(kServerConfigurationKey);
    if (text) {
        if (auto server = dz_decodedJSONObjectError(*text, nullptr); server && server->dictionary())
            effective = *server->dictionary();
    }
    for (const auto& [key, value] : dictionary) effective.set(key, value);
    return effective;
}

void DZVideoConfiguration::updateDynamicConfiguration(const core::Dictionary& dictionary) {
    lockQueue_->async([weak = weak_from_this(), effective = effectiveDictionary(dictionary)] {
        if (const auto self = weak.lock()) self->loadDynamicConfiguration(effective);
    });
}

void DZVideoConfiguration::loadStaticConfiguration(const core::Dictionary& dictionary) {
    enableAVPlayerPlaybackBuffering_ = !dictionary.contains("bufferForPlaybackMs");
    readBool(dictionary, "enableAVPlayerPlaybackBuffering", enableAVPlayerPlaybackBuffering_);
    if (!DZDevice::sharedInstance()->isOSAtLeastMajor(10, 0, 0))
        enableAVPlayerPlaybackBuffering_ = true;

    videoBufferShouldIgnoreCanPlayThrough_ =
        enableAVPlayerPlaybackBuffering_ || dictionary.contains("maxBufferMs");
    readBool(dictionary, "videoBufferShouldIgnoreCanPlayThrough",
             videoBufferShouldIgnoreCanPlayThrough_);

    enableAdvanceBufferingControl_ =
        dictionary.contains("minBufferMs") || dictionary.contains("maxBufferMs");
    readBool(dictionary, "enableAdvanceBufferingControl", enableAdvanceBufferingControl_);

    readBool(dictionary, "enableInMemoryVideoBuffer", enableInMemoryVideoBuffer_);
    readInteger(dictionary, "maxBufferBytes", precacheMaxBufferBytes_);
    readMilliseconds(dictionary, "videoAssetLoaderMaxDownloadWaitTimeMs",
                     videoAssetLoaderMaxDownloadWaitTimeInterval_);
    readInteger(dictionary, "videoAssetLoaderMaxContentSizeInBytes",
                videoAssetLoaderMaxContentSizeInBytes_);
    readInteger(dictionary, "videoAssetMaxLoadableChunkSizeInBytes",
                videoAssetMaxLoadableChunkSizeInBytes_);
    readMilliseconds(dictionary, "assetLoadingPlayerItemRefreshTimeMs",
                     assetLoadingPlayerItemRefreshInterval_);
    readMilliseconds(dictionary, "precacheUpdateCheckMs", precacheUpdateCheckIntervals_);
    readInteger(dictionary, "assetLoadingPlayerItemNoBufferUpdateMaxContentSize",
                assetLoadingPlayerItemNoBufferUpdateMaxContentSize_);
    readInteger(dictionary, "assetLoadingPlayerItemMaxContentLoadingFailedAttempts",
                assetLoadingPlayerItemMaxContentLoadingFailedAttempts_);
    readInteger(dictionary, "assetLoadingPlayerItemMaxDataLoadingFailedAttempts",
                assetLoadingPlayerItemMaxDataLoadingFailedAttempts_);
}

void DZVideoConfiguration::loadDynamicConfiguration(const core::Dictionary& dictionary) {
    readMilliseconds(dictionary, "minBufferMs", minBufferTimeInterval_);
    readMilliseconds(dictionary, "maxBufferMs", maxBufferTimeInterval_);
    readMilliseconds(dictionary, "bufferForPlaybackMs", bufferForPlaybackTimeInterval_);
    readMilliseconds(dictionary, "bufferForPlaybackAfterRebufferMs",
                     bufferForPlaybackAfterRebufferTimeInterval_);
}

double DZVideoConfiguration::readDynamic(double DZVideoConfiguration::*field) const {
    double value = 0;
    lockQueue_->sync([&] { value = this->*field; });
    return value;
}

double DZVideoConfiguration::minBufferTimeInterval() const {
    return readDynamic(&DZVideoConfiguration::minBufferTimeInterval_);
}
double DZVideoConfiguration::maxBufferTimeInterval() const {
    return readDynamic(&DZVideoConfiguration::maxBufferTimeInterval_);
}
double DZVideoConfiguration::bufferForPlaybackTimeInterval() const {
    return readDynamic(&DZVideoConfiguration::bufferForPlaybackTimeInterval_);
}
double DZVideoConfiguration::bufferForPlaybackAfterRebufferTimeInterval() const {
    return readDynamic(&DZVideoConfiguration::bufferForPlaybackAfterRebufferTimeInterval_);
}

}  // namespace ads
