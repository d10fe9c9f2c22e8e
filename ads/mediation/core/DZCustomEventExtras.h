#pragma once
// The network extras a publisher registers for its custom events: one
// dictionary per custom event label. A custom event whose network entry
// names the label in its credentials ("label") receives that dictionary as
// its request's additional parameters. Filled by the publisher before the
// request is loaded; then only read.

#include <optional>
#include <string>

#include "ads/core/request/DZAdNetworkExtras.h"
#include "core/Value.h"

namespace ads {

class DZCustomEventExtras final : public DZAdNetworkExtras {
public:
    static constexpr const char* kClassName = "DZCustomEventExtras";

    [[nodiscard]] std::string className() const override { return kClassName; }

    // Without a label nothing is stored and a public message says so.
    void setExtras(const core::Dictionary& extras, const std::optional<std::string>& label);
    [[nodiscard]] std::optional<core::Dictionary> extrasForLabel(const std::string& label) const;
    void removeAllExtras() { extras_.clear(); }
    // Label to extras.
    [[nodiscard]] const core::Dictionary& allExtras() const { return extras_; }

private:
    core::Dictionary extras_;
};

}  // namespace ads
