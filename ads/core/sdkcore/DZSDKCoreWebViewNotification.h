#pragma once
// A one-time observer of the end of a core page load (loaded or failed; the
// observer reads the state). Called on the main queue.

namespace ads {

class DZSDKCoreWebView;

class DZSDKCoreWebViewNotification {
public:
    virtual ~DZSDKCoreWebViewNotification() = default;
    virtual void didFinishLoadingSDKCoreInSDKCoreWebView(DZSDKCoreWebView& webView) = 0;
};

}  // namespace ads
