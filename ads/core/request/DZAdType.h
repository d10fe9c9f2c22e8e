#pragma once
// What one ad unit shows: a banner of a size, an interstitial or a rewarded
// video. Types compare and hash by kind and size so they can key tables;
// not changed once handed to a slot. Any thread.

#include <cstddef>
#include <memory>
#include <string>

#include "ads/core/request/DZAdSize.h"

namespace ads {

class DZAdType {
public:
    static constexpr const char* kClassName = "DZAdType";

    // A banner type of the size.
    explicit DZAdType(const DZAdSize& adSize) : adSize_(adSize) {}
    [[nodiscard]] static std::shared_ptr<DZAdType> bannerAdTypeForSize(const DZAdSize& adSize);
    [[nodiscard]] static std::shared_ptr<DZAdType> interstitialAdType();
    [[nodiscard]] static std::shared_ptr<DZAdType> rewardBasedVideoAdType();

    [[nodiscard]] const DZAdSize& adSize() const { return adSize_; }
    void setAdSize(const DZAdSize& adSize) { adSize_ = adSize; }
    [[nodiscard]] bool isInterstitial() const { return isInterstitial_; }
    [[nodiscard]] bool isRewardBasedVideoAd() const { return isRewardBasedVideoAd_; }

    // Interstitials equal each other and nothing else (so equal types hash
    // alike); other types are equal when their sizes are.
    [[nodiscard]] bool isEqual(const DZAdType& other) const;
    [[nodiscard]] std::size_t hash() const;
    // An interstitial always; else a size that fits the screen.
    [[nodiscard]] bool isValid() const;
    [[nodiscard]] std::string description() const;

    friend bool operator==(const DZAdType& a, const DZAdType& b) { return a.isEqual(b); }

private:
    DZAdSize adSize_;
    bool isInterstitial_ = false;
    bool isRewardBasedVideoAd_ = false;
};

}  // namespace ads

template <>
struct std::hash<ads::DZAdType> {
    std::size_t operator()(const ads::DZAdType& type) const { return type.hash(); }
};
