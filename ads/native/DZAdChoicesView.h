#pragma once
// The publisher's container for a native ad's AdChoices content (the
// attribution badge, or an adapter's own view): the content sits centred
// in it, at its own intrinsic size. Custom template ads are refused.
// Main thread.

#include <memory>

#include "ui/View.h"

namespace ads {

class DZNativeAd;

class DZAdChoicesView : public ui::View {
public:
    static constexpr const char* kCustomTemplateRefusal =
        "Failed to set custom template native ad on AdChoices view. Not supported.";

    [[nodiscard]] static std::shared_ptr<DZAdChoicesView> create(const gfx::Rect& frame = {});

    void setNativeAd(const std::shared_ptr<DZNativeAd>& nativeAd);
    [[nodiscard]] std::shared_ptr<DZNativeAd> nativeAd() const { return nativeAd_.lock(); }

    void setAdChoicesContentView(const std::shared_ptr<ui::View>& view);
    [[nodiscard]] const std::shared_ptr<ui::View>& adChoicesContentView() const {
        return adChoicesContentView_;
    }

    [[nodiscard]] gfx::Size intrinsicContentSize() const override;
    void layoutSubviews() override;

    explicit DZAdChoicesView(const gfx::Rect& frame) : ui::View(frame) {}

private:
    std::shared_ptr<ui::View> adChoicesContentView_;
    std::weak_ptr<DZNativeAd> nativeAd_;
};

}  // namespace ads
