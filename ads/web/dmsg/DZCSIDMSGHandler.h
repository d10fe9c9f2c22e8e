#pragma once
// The page's timing messages, "instrument" with "action": "tick" stores a
// timestamp under a label and, when its start label (by default
// "native:view_create") has one no later, adds the interval between them as
// a timing of the "make_wv" recorder; "experiment" adds an experiment id and
// "extra" a parameter to that recorder. The hub is the delegate's; without
// one nothing is recorded. Main thread.

#include <memory>
#include <string_view>

#include "ads/web/dmsg/DZDMSGHandler.h"

namespace ads {

class DZCSIDMSGHandlerDelegate;

class DZCSIDMSGHandler : public DZDMSGHandler {
public:
    static constexpr std::string_view kMakeWebViewAction = "make_wv";
    static constexpr std::string_view kDefaultStartLabel = "native:view_create";

    [[nodiscard]] const ActionTable* actionBlockDictionary() const override;
    [[nodiscard]] const ActionTable* subActionBlockDictionary() const override;

    [[nodiscard]] std::shared_ptr<DZCSIDMSGHandlerDelegate> CSIDelegate() const {
        return CSIDelegate_.lock();
    }
    void setCSIDelegate(std::weak_ptr<DZCSIDMSGHandlerDelegate> delegate) {
        CSIDelegate_ = std::move(delegate);
    }

    void didReceiveCSINotification(const std::shared_ptr<DZAdView>& adView,
                                   const core::Dictionary& parameters);
    void didReceiveTickAction(const std::shared_ptr<DZAdView>& adView,
                              const core::Dictionary& parameters);
    void didReceiveExperimentAction(const std::shared_ptr<DZAdView>& adView,
                                    const core::Dictionary& parameters);
    void didReceiveExtraAction(const std::shared_ptr<DZAdView>& adView,
                               const core::Dictionary& parameters);

private:
    [[nodiscard]] std::shared_ptr<class DZCSI> CSI() const;

    std::weak_ptr<DZCSIDMSGHandlerDelegate> CSIDelegate_;
};

}  // namespace ads
