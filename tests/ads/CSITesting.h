#pragma once
// Shared set-up of the CSI tests: scripted draws that give chosen sampling
// results, and cleaning of the CSI server settings.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "ads/foundation/DZCSIConfiguration.h"
#include "core/Random.h"
#include "core/UserDefaults.h"

namespace testsupport {

// The 32-bit draw from which core::Random::uniformInt(0, 999) makes `value`
// in one step: the high word of draw x 1000 is the value, and its low word
// stays clear of the rejected zone (below 2^32 mod 1000).
inline std::uint32_t drawGiving(std::int64_t value) {
    constexpr std::uint64_t kTwoTo32 = std::uint64_t{1} << 32;
    constexpr std::uint64_t kRejected = kTwoTo32 % 1000;
    for (std::uint64_t draw = (static_cast<std::uint64_t>(value) << 32) / 1000;; ++draw) {
        const std::uint64_t product = draw * 1000;
        if (static_cast<std::int64_t>(product >> 32) == value && product % kTwoTo32 >= kRejected) {
            return static_cast<std::uint32_t>(draw);
        }
    }
}

// Installs draws giving these sampling values, in order, followed by the
// raw later draws; puts the default source and the CSI settings back
// afterwards.
class CSISamplingScope {
public:
    explicit CSISamplingScope(const std::vector<std::int64_t>& values,
                              const std::vector<std::uint32_t>& laterDraws = {}) {
        std::vector<std::uint32_t> draws;
        for (const auto value : values) draws.push_back(drawGiving(value));
        draws.insert(draws.end(), laterDraws.begin(), laterDraws.end());
        random_ = std::make_shared<core::ScriptedRandom>(std::move(draws));
        core::Random::install(random_);
    }
    ~CSISamplingScope() {
        core::Random::install(nullptr);
        auto defaults = core::UserDefaults::standard();
        defaults->removeObjectForKey(ads::DZCSIConfiguration::kReportingProbabilityKey);
        defaults->removeObjectForKey(ads::DZCSIConfiguration::kReportingURLKey);
    }
    CSISamplingScope(const CSISamplingScope&) = delete;
    CSISamplingScope& operator=(const CSISamplingScope&) = delete;

    [[nodiscard]] size_t drawsMade() const { return random_->drawsMade(); }

private:
    std::shared_ptr<core::ScriptedRandom> random_;
};

}  // namespace testsupport
