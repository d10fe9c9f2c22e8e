#include "ads/web/dmsg/DZDelayPageLoadDMSGHandler.h"

#include "ads/web/dmsg/DZDelayLoadDelegate.h"
#include "core/Queue.h"

namespace ads {

const DZDMSGHandler::ActionTable* DZDelayPageLoadDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"delayPageLoaded", action(&DZDelayPageLoadDMSGHandler::delayPageLoadWithArguments)},
    };
    return &table;
}

void DZDelayPageLoadDMSGHandler::delayPageLoadWithArguments(const std::shared_ptr<DZAdView>&,
                                                            const core::Dictionary& parameters) {
    const auto weak = std::weak_ptr<DZDMSGHandler>(weak_from_this());
    core::Queue::main()->async([weak, parameters] {
        if (const auto self = weak.lock())
            static_cast<DZDelayPageLoadDMSGHandler&>(*self).handleDelayLoadWithParameters(
                parameters);
    });
}

void DZDelayPageLoadDMSGHandler::handleDelayLoadWithParameters(const core::Dictionary& parameters) {
    const auto delegate = this->delegate();
    if (parameters.contains("start")) {
        const std::int64_t from = delayCount_;
        ++delayCount_;
        if (delegate) delegate->loadHandlerDidChangeDelay(*this, from, delayCount_);
    } else if (parameters.contains("stop")) {
        if (delayCount_ < 1) return;
        const std::int64_t from = delayCount_;
        --delayCount_;
        if (delegate) delegate->loadHandlerDidChangeDelay(*this, from, delayCount_);
    } else if (parameters.contains("cancel")) {
        if (delegate) delegate->loadHandlerDidCancel(*this);
        delegate_.reset();
        delayCount_ = 0;
    }
}

}  // namespace ads
