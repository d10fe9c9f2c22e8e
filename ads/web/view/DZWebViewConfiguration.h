#pragma once
// How an ad's web view is built: which kind (webViewClassKey "wk" asks for
// DZWebKitWebView, anything else gives DZUIKitWebView) and how it is set up.
// A new configuration takes its defaults from the server constants in the
// user defaults; a copy keeps the values of the original.
//
// Besides the kind, mediaPlaybackRequiresUserAction, the web process and
// the message bound reach the browser engine:
//  - every ad page runs in a web process of its own (ownWebProcess), so an
//    ad whose page crashes, goes over the memory limit, or spins and is
//    let go takes down nothing but itself; the core page and other SDK
//    pages that ask for it share one;
//  - a page's message (a dmsg URL) longer than maximumMessageURLBytes is
//    refused, logged, unread. Ads' messages are small (the longest the SDK
//    takes are app events and logs); the core page's answers carry whole ad
//    responses and get kMaximumCorePageMessageURLBytes.
// The
// engine has no data detectors, so dataDetectorType is a stored value only.
// scalesPageToFit makes either kind fit a page wider than the view to the
// view's width with the engine's zoom (DZWebView), and keeps the WebKit kind
// from adding its viewport script. A value type.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ads {

class DZWebViewConfiguration {
public:
    static constexpr std::string_view kPreventAutoplayKey = "/dozuza/ads/banner_prevent_autoplay";
    static constexpr std::string_view kWebViewClassKey = "/dozuza/ads/wv_class";
    static constexpr size_t kMaximumMessageURLBytes = size_t(1) << 20;
    static constexpr size_t kMaximumCorePageMessageURLBytes = size_t(48) << 20;
    // Every data detector.
    static constexpr std::uint64_t kDataDetectorTypeAll = ~std::uint64_t(0);

    // Reads the defaults now.
    DZWebViewConfiguration();

    [[nodiscard]] std::uint64_t dataDetectorType() const { return dataDetectorType_; }
    void setDataDetectorType(std::uint64_t types) { dataDetectorType_ = types; }
    [[nodiscard]] bool mediaPlaybackRequiresUserAction() const {
        return mediaPlaybackRequiresUserAction_;
    }
    void setMediaPlaybackRequiresUserAction(bool required) {
        mediaPlaybackRequiresUserAction_ = required;
    }
    [[nodiscard]] bool scalesPageToFit() const { return scalesPageToFit_; }
    void setScalesPageToFit(bool scales) { scalesPageToFit_ = scales; }
    // "ui" unless the server named a kind.
    [[nodiscard]] const std::string& webViewClassKey() const { return webViewClassKey_; }
    void setWebViewClassKey(std::string key) { webViewClassKey_ = std::move(key); }
    [[nodiscard]] bool ownWebProcess() const { return ownWebProcess_; }
    void setOwnWebProcess(bool own) { ownWebProcess_ = own; }
    [[nodiscard]] size_t maximumMessageURLBytes() const { return maximumMessageURLBytes_; }
    void setMaximumMessageURLBytes(size_t bytes) { maximumMessageURLBytes_ = bytes; }

private:
    std::uint64_t dataDetectorType_ = 0;
    bool mediaPlaybackRequiresUserAction_ = false;
    bool scalesPageToFit_ = false;
    std::string webViewClassKey_;
    bool ownWebProcess_ = true;
    size_t maximumMessageURLBytes_ = kMaximumMessageURLBytes;
};

}  // namespace ads
