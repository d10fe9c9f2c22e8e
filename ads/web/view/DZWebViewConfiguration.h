#pragma once
// How an ad's web view is built: which kind (webViewClassKey "wk" asks for
// DZWebKitWebView, anything else gives DZUIKitWebView) and how it is set up.
// A new configuration takes its defaults from the server constants in the
// user defaults; a copy keeps the values of the original.
//
// Only mediaPlaybackRequiresUserAction reaches the browser engine. The
// engine has no data detectors and no page-to-fit scaling switch, so
// dataDetectorType is a stored value only; scalesPageToFit decides whether
// the WebKit kind adds its viewport script. A value type.

#include <cstdint>
#include <string>
#include <string_view>

namespace ads {

class DZWebViewConfiguration {
public:
    static constexpr std::string_view kPreventAutoplayKey = "/dozuza/ads/banner_prevent_autoplay";
    static constexpr std::string_view kWebViewClassKey = "/dozuza/ads/wv_class";
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

private:
    std::uint64_t dataDetectorType_ = 0;
    bool mediaPlaybackRequiresUserAction_ = false;
    bool scalesPageToFit_ = false;
    std::string webViewClassKey_;
};

}  // namespace ads
