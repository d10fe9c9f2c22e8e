#include "ui/TelephonyNetworkInfo.h"

#include <mutex>

#include "core/NotificationCenter.h"
#include "ui/DeviceProfile.h"

namespace ui {

namespace {

struct Override {
    std::mutex mutex;
    std::optional<TelephonyFacts> facts;
};

Override& shared() {
    static Override* const instance = new Override;
    return *instance;
}

std::optional<std::string> nonEmptyText(const core::Value& value) {
    if (!value.isString() || value.string()->empty()) return std::nullopt;
    return *value.string();
}

}  // namespace

TelephonyFacts TelephonyFacts::fromValue(const core::Value& networkSection) {
    TelephonyFacts facts;
    facts.radioAccessTechnology = nonEmptyText(networkSection["radioAccessTechnology"]);
    const core::Value& carrier = networkSection["carrier"];
    if (carrier.isDictionary()) {
        facts.provider = CellularProvider{nonEmptyText(carrier["mobileCountryCode"]),
                                          nonEmptyText(carrier["mobileNetworkCode"])};
    }
    return facts;
}

TelephonyFacts TelephonyNetworkInfo::currentFacts() {
    {
        std::lock_guard lock(shared().mutex);
        if (shared().facts) return *shared().facts;
    }
    return TelephonyFacts::fromValue(DeviceProfile::current().raw["network"]);
}

void TelephonyNetworkInfo::overrideForTesting(std::optional<TelephonyFacts> facts) {
    const auto before = currentFacts().radioAccessTechnology;
    {
        std::lock_guard lock(shared().mutex);
        shared().facts = std::move(facts);
    }
    if (currentFacts().radioAccessTechnology != before) {
        core::NotificationCenter::defaultCenter().post(
            std::string(kRadioAccessTechnologyDidChangeNotification));
    }
}

std::optional<std::string> TelephonyNetworkInfo::currentRadioAccessTechnology() const {
    return currentFacts().radioAccessTechnology;
}

std::optional<CellularProvider> TelephonyNetworkInfo::subscriberCellularProvider() const {
    return currentFacts().provider;
}

}  // namespace ui
