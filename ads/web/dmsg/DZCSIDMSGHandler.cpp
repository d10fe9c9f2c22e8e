#include "ads/web/dmsg/DZCSIDMSGHandler.h"

#include "ads/foundation/DZCSI.h"
#include "ads/foundation/DZCSITimeRecorder.h"
#include "ads/foundation/DZCSIVariableTiming.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/web/dmsg/DZCSIDMSGHandlerDelegate.h"

namespace ads {

const DZDMSGHandler::ActionTable* DZCSIDMSGHandler::actionBlockDictionary() const {
    static const ActionTable table = {
        {"instrument", action(&DZCSIDMSGHandler::didReceiveCSINotification)},
    };
    return &table;
}

const DZDMSGHandler::ActionTable* DZCSIDMSGHandler::subActionBlockDictionary() const {
    static const ActionTable table = {
        {"tick", action(&DZCSIDMSGHandler::didReceiveTickAction)},
        {"experiment", action(&DZCSIDMSGHandler::didReceiveExperimentAction)},
        {"extra", action(&DZCSIDMSGHandler::didReceiveExtraAction)},
    };
    return &table;
}

std::shared_ptr<DZCSI> DZCSIDMSGHandler::CSI() const {
    const auto delegate = CSIDelegate();
    return delegate ? delegate->CSIForDMSGHandler() : nullptr;
}

void DZCSIDMSGHandler::didReceiveCSINotification(const std::shared_ptr<DZAdView>& adView,
                                                 const core::Dictionary& parameters) {
    (void)performSubAction("action", adView, parameters);
}

void DZCSIDMSGHandler::didReceiveTickAction(const std::shared_ptr<DZAdView>&,
                                            const core::Dictionary& parameters) {
    const auto hub = CSI();
    const std::string* label = stringParameter(parameters, "label");
    const core::Value* stamp = parameters.find("timestamp");
    const std::int64_t timestamp = stamp ? DZIntegerValue<std::int64_t>(*stamp).value_or(0) : 0;
    if (!hub || !label || timestamp == 0) return;
    hub->setTimestamp(timestamp, *label);
    const std::string* startLabel = stringParameter(parameters, "start_label");
    const std::int64_t start =
        hub->timestampForLabel(startLabel ? std::string_view(*startLabel) : kDefaultStartLabel);
    std::int64_t length = 0;
    // Stamps far apart enough to overflow are no interval.
    if (start == 0 || start > timestamp || __builtin_sub_overflow(timestamp, start, &length))
        return;
    const auto recorder = hub->timeRecorderForAction(kMakeWebViewAction);
    if (!recorder) return;
    const auto timing = DZCSIVariableTiming::create(*label, static_cast<double>(start) / 1000.0);
    timing->setLength(static_cast<double>(length) / 1000.0);
    recorder->addCompletedVariable(timing);
}

void DZCSIDMSGHandler::didReceiveExperimentAction(const std::shared_ptr<DZAdView>&,
                                                  const core::Dictionary& parameters) {
    const auto hub = CSI();
    const std::string* value = stringParameter(parameters, "value");
    if (!hub || !value) return;
    if (const auto recorder = hub->timeRecorderForAction(kMakeWebViewAction))
        recorder->addExperimentID(*value);
}

void DZCSIDMSGHandler::didReceiveExtraAction(const std::shared_ptr<DZAdView>&,
                                             const core::Dictionary& parameters) {
    const auto hub = CSI();
    const std::string* name = stringParameter(parameters, "name");
    const std::string* value = stringParameter(parameters, "value");
    if (!hub || !name || !value) return;
    if (const auto recorder = hub->timeRecorderForAction(kMakeWebViewAction))
        recorder->setCustomizedParameterValue(*value, *name);
}

}  // namespace ads
