#include "ads/foundation/DZNetwork.h"

#include <mutex>
#include <utility>

#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "ads/foundation/DZUserAgent.h"
#include "ui/NetworkReachability.h"
#include "ui/TelephonyNetworkInfo.h"

namespace ads {

std::shared_ptr<DZNetwork> DZNetwork::sharedInstance() {
    // Lives for the process: never destroyed at exit, when queues are gone.
    static const auto* const shared = [] {
        auto made = create();
        made->enableRadioAccessTechnologyChecking();
        DZSetUserAgentProvider([weak = std::weak_ptr(made)] {
            const auto network = weak.lock();
            std::string agent = network ? network->userAgentString() : std::string();
            return agent.empty() ? DZDefaultUserAgent() : agent;
        });
        return new std::shared_ptr<DZNetwork>(std::move(made));
    }();
    return *shared;
}

std::optional<std::string> DZNetwork::codeForNetworkType(unsigned long type) {
    switch (type) {
    case kDZNetworkTypeLocal:
        return "wi";
    case kDZNetworkTypeCellular:
        return "ed";
    default:
        return std::nullopt;
    }
}

unsigned long DZNetwork::networkTypeFromFlags(std::uint32_t flags) {
    if (flags & kDZReachabilityFlagIsWWAN) return kDZNetworkTypeCellular;
    if (flags & kDZReachabilityFlagReachable) return kDZNetworkTypeLocal;
    return kDZNetworkTypeNotReachable;
}

std::shared_ptr<DZNetwork> DZNetwork::create() {
    return std::shared_ptr<DZNetwork>(new DZNetwork);
}

DZNetwork::DZNetwork() : lockQueue_(DZCreateQueueWithQoS(DZQueueLabel("network"), DZQoSDefault)) {}

DZNetwork::~DZNetwork() {
    if (networkReachability_) networkReachability_->unschedule();
    if (radioAccessTechnologyChangeObserver_) {
        core::NotificationCenter::defaultCenter().removeObserver(
            radioAccessTechnologyChangeObserver_);
    }
}

void DZNetwork::sync(const std::function<void()>& block) const {
    DZSyncOnQueue(*lockQueue_, block);
}

void DZNetwork::enableRadioAccessTechnologyChecking() {
    if (!DZDevice::sharedInstance()->isOSAtLeastMajor(7, 0, 0)) return;
    if (enableCheckingQueue_) return;
    enableCheckingQueue_ = DZCreateQueueWithQoS(DZQueueLabel("network-enable"), DZQoSDefault);

    auto reachability =
        ui::NetworkReachability::createWithName(std::string(kDZNetworkReachabilityHost));
    const std::weak_ptr<DZNetwork> weak = weak_from_this();
    if (reachability && reachability->setCallback([weak](std::uint32_t flags) {
            if (const auto self = weak.lock()) self->setNetworkTypeFromFlags(flags);
        }) &&
        reachability->scheduleOnQueue(enableCheckingQueue_)) {
        networkReachability_ = std::move(reachability);
    }

    core::Queue::global()->async([weak] {
        auto telephony = std::make_shared<ui::TelephonyNetworkInfo>();
        const auto self = weak.lock();
        if (!self) return;
        self->lockQueue_->async([weak, telephony] {
            const auto self = weak.lock();
            if (!self) return;
            self->telephonyNetworkInfo_ = telephony;
            self->setRadioAccessTechnology(telephony->currentRadioAccessTechnology());
            self->radioAccessTechnologyChangeObserver_ =
                core::NotificationCenter::defaultCenter().addObserver(
                    std::string(ui::kRadioAccessTechnologyDidChangeNotification), nullptr,
                    core::Queue::main(), [weak, telephony](const core::Notification&) {
                        if (const auto self = weak.lock()) {
                            self->setRadioAccessTechnology(
                                telephony->currentRadioAccessTechnology());
                        }
                    });
        });
    });
}

core::Dictionary DZNetwork::requestDictionary() const {
    core::Dictionary dictionary;
    sync([&] {
        const auto put = [&dictionary](const char* key, const std::optional<std::string>& value) {
            if (value) dictionary.set(key, *value);
        };
        put("net", codeForNetworkType(networkType_));
        put("net_last", codeForNetworkType(lastKnownNetworkType_));
        if (telephonyNetworkInfo_) {
            if (const auto provider = telephonyNetworkInfo_->subscriberCellularProvider()) {
                put("cellular_country_code", provider->mobileCountryCode);
                put("cellular_network_code", provider->mobileNetworkCode);
            }
        }
        put("ios_radio", radioAccessTechnology_);
        put("ios_radio_last", lastKnownRadioAccessTechnology_);
    });
    return dictionary;
}

void DZNetwork::setNetworkType(unsigned long type) {
    lockQueue_->async([weak = weak_from_this(), type] {
        const auto self = weak.lock();
        if (!self || self->networkType_ == type) return;
        if (type >= kDZNetworkTypeLocal) self->lastKnownNetworkType_ = type;
        self->networkType_ = type;
    });
}

void DZNetwork::setNetworkTypeFromFlags(std::uint32_t flags) {
    setNetworkType(networkTypeFromFlags(flags));
}

void DZNetwork::setRadioAccessTechnology(std::optional<std::string> technology) {
    if (technology && technology->empty()) technology.reset();
    lockQueue_->async([weak = weak_from_this(), technology = std::move(technology)] {
        const auto self = weak.lock();
        if (!self) return;
        self->radioAccessTechnology_ = technology;
        if (technology) self->lastKnownRadioAccessTechnology_ = technology;
    });
}

std::string DZNetwork::userAgentString() const {
    std::string agent;
    sync([&] { agent = userAgentString_; });
    return agent;
}

void DZNetwork::setUserAgentString(const std::optional<std::string>& agent) {
    if (!agent || agent->empty()) return;
    lockQueue_->async([weak = weak_from_this(), agent = *agent] {
        const auto self = weak.lock();
        if (self && self->userAgentString_.empty()) self->userAgentString_ = agent;
    });
}

}  // namespace ads
