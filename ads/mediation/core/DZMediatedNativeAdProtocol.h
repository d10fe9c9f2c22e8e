#pragma once
// A native ad of another network, as its adapter or custom event hands it
// to the SDK. The assets it offers (headline, images, ...) are read by the
// native ad classes that show it.

namespace ads {

class DZMediatedNativeAdProtocol {
public:
    virtual ~DZMediatedNativeAdProtocol() = default;
};

}  // namespace ads
