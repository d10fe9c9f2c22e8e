#pragma once
// The tap recognizer a native ad view policy puts on its ad view. It holds
// the policy strongly, so the ad view's recognizer keeps its policy alive
// for as long as it stays on the view. Main thread.

#include <memory>

#include "ui/GestureRecognizer.h"

namespace ads {

class DZNativeAdViewPolicy;

class DZNativeAdTapGestureRecognizer : public ui::TapGestureRecognizer {
public:
    using ui::TapGestureRecognizer::TapGestureRecognizer;

    [[nodiscard]] const std::shared_ptr<DZNativeAdViewPolicy>& nativeAdViewPolicy() const {
        return nativeAdViewPolicy_;
    }
    void setNativeAdViewPolicy(std::shared_ptr<DZNativeAdViewPolicy> policy) {
        nativeAdViewPolicy_ = std::move(policy);
    }

private:
    std::shared_ptr<DZNativeAdViewPolicy> nativeAdViewPolicy_;
};

}  // namespace ads
