#pragma once
// The "WK" kind of DZWebView: the engine fetches the page itself. Its load
// starts when the engine commits a navigation, and content-size changes
// arrive after the fact. All its views share the engine's context of that
// kind (one network process and data store).
//
// Before its first load it adds, once per view and for every later load,
// two user scripts to the main frame: the MRAID swap, when its MRAID
// delegate names a script URL (an empty answer leaves it to the next load),
// which points every "<script src=.../mraid.js>" of the page at that URL
// before the page's own scripts run, also for such scripts inserted later;
// and, unless the page scales to fit, the viewport script ("wv_viewport_script"
// from the server, else one that fixes the viewport meta at scale 1).
//
// With "wk_initialization_load" set, a view loads an empty page from the
// warm-up URL at creation to start its web process; every navigation to
// that URL is refused. Main thread only.

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ads/web/view/DZWebView.h"

namespace ads {

class DZWebKitWebViewMRAIDDelegate {
public:
    virtual ~DZWebKitWebViewMRAIDDelegate() = default;
    // The URL of the MRAID script the page should load instead of its own;
    // nullopt or empty for none.
    virtual std::optional<std::string> MRAIDJavaScriptURLStringForWebView(DZWebView& webView) = 0;
};

class DZWebKitWebView : public DZWebView {
public:
    static constexpr std::string_view kInitializationURL = "file://dz_wk_initialization_url/";
    static constexpr std::string_view kInitializationLoadKey = "/dozuza/ads/wk_initialization_load";
    static constexpr std::string_view kViewportScriptKey = "/dozuza/ads/wv_viewport_script";

    // Whether the WebKit kind can be built; a switch tests turn off.
    [[nodiscard]] static bool isAvailable();
    static void setAvailable(bool available);

    // nullptr when the kind is not available or the engine cannot start.
    [[nodiscard]] static std::shared_ptr<DZWebKitWebView>
    create(const gfx::Rect& frame, const DZWebViewConfiguration& configuration = {});

    void loadHTMLString(const std::optional<std::string>& html,
                        const std::optional<core::URL>& baseURL) override;
    void loadRequest(const core::URLRequest& request) override;
    [[nodiscard]] bool contentSizeUpdatesSynchronously() const override { return false; }

    // A user script for the main frame, kept for every later load.
    void addUserScript(const std::string& source, web::WebView::InjectionTime injectionTime);

    [[nodiscard]] std::shared_ptr<DZWebKitWebViewMRAIDDelegate> MRAIDDelegate() const {
        return MRAIDDelegate_.lock();
    }
    void setMRAIDDelegate(std::weak_ptr<DZWebKitWebViewMRAIDDelegate> delegate) {
        MRAIDDelegate_ = std::move(delegate);
    }
    [[nodiscard]] bool isMRAIDLoaded() const { return isMRAIDLoaded_; }
    [[nodiscard]] bool isViewportLoaded() const { return isViewportLoaded_; }
    [[nodiscard]] bool scalesPageToFit() const { return scalesPageToFit_; }

    // The built-in scripts: the MRAID swap for a script URL, and the
    // viewport fix.
    [[nodiscard]] static std::string MRAIDScript(std::string_view MRAIDURL);
    [[nodiscard]] static std::string viewportScript();

protected:
    bool engineShouldStartLoad(const web::NavigationAction& action) override;
    void engineDidCommitLoad() override { didStartLoad(); }

private:
    struct Token {};

public:
    DZWebKitWebView(Token, const gfx::Rect& frame, DZWebViewConfiguration configuration);

private:
    void loadUserScripts();
    void loadMRAID();
    void loadViewport();

    bool isMRAIDLoaded_ = false;
    bool isViewportLoaded_ = false;
    bool scalesPageToFit_ = false;
    std::weak_ptr<DZWebKitWebViewMRAIDDelegate> MRAIDDelegate_;
};

}  // namespace ads
