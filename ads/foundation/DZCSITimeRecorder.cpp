#include "ads/foundation/DZCSITimeRecorder.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <utility>

#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "core/Clock.h"
#include "core/Random.h"

namespace ads {

using Variables = DZCSITimeRecorder::Variables;

bool DZCSITimeRecorder::KeyedVariables::contains(std::string_view key) const {
    return byKey_.contains(key);
}

void DZCSITimeRecorder::KeyedVariables::put(std::string key,
                                            std::shared_ptr<DZCSIVariableTiming> timing) {
    if (const auto found = byKey_.find(key); found != byKey_.end()) {
        found->second->timing = std::move(timing);
        return;
    }
    const auto position = order_.insert(order_.end(), Variable{std::move(key), std::move(timing)});
    byKey_.emplace(position->key, position);
}

std::shared_ptr<DZCSIVariableTiming> DZCSITimeRecorder::KeyedVariables::take(std::string_view key) {
    const auto found = byKey_.find(key);
    if (found == byKey_.end()) return nullptr;
    const auto position = found->second;
    byKey_.erase(found);
    std::shared_ptr<DZCSIVariableTiming> timing = std::move(position->timing);
    order_.erase(position);
    return timing;
}

void DZCSITimeRecorder::KeyedVariables::eraseTimings(
    const std::vector<std::shared_ptr<DZCSIVariableTiming>>& timings) {
    std::unordered_set<const DZCSIVariableTiming*> doomed;
    for (const auto& timing : timings) doomed.insert(timing.get());
    for (auto position = order_.begin(); position != order_.end();) {
        if (!doomed.contains(position->timing.get())) {
            ++position;
            continue;
        }
        byKey_.erase(position->key);
        position = order_.erase(position);
    }
}

Variables DZCSITimeRecorder::KeyedVariables::list() const {
    return {order_.begin(), order_.end()};
}

std::shared_ptr<DZCSITimeRecorder> DZCSITimeRecorder::create(std::string action) {
    return std::shared_ptr<DZCSITimeRecorder>(new DZCSITimeRecorder(std::move(action)));
}

DZCSITimeRecorder::DZCSITimeRecorder(std::string action)
    : action_(std::move(action)),
      queue_(DZCreateQueueWithQoS(DZQueueLabel("csi-time-recorder"), DZQoSDefault)) {}

double DZCSITimeRecorder::currentTime() {
    return core::Clock::current()->monotonicSeconds();
}

void DZCSITimeRecorder::startTimingVariableWithName(std::string_view name) {
    startTimingVariableWithName(name, name);
}

void DZCSITimeRecorder::endTimingVariableWithName(std::string_view name) {
    endTimingVariableWithName(name, name);
}

void DZCSITimeRecorder::cancelTimingVariableWithName(std::string_view name) {
    cancelTimingVariableWithName(name, name);
}

void DZCSITimeRecorder::startTimingVariableWithName(std::string_view name, std::string_view key) {
    if (name.empty() || key.empty()) return;
    auto timing = DZCSIVariableTiming::create(std::string(name), currentTime());
    queue_->async([self = shared_from_this(), key = std::string(key), timing = std::move(timing)] {
        self->ongoing_.put(key, timing);
    });
}

void DZCSITimeRecorder::endTimingVariableWithName(std::string_view name, std::string_view key) {
    if (name.empty() || key.empty()) return;
    queue_->async([self = shared_from_this(), name = std::string(name), key = std::string(key),
                   now = currentTime()] { (void)self->commonEndOnQueue(name, key, now); });
}

void DZCSITimeRecorder::cancelTimingVariableWithName(std::string_view name, std::string_view key) {
    if (name.empty() || key.empty()) return;
    queue_->async(
        [self = shared_from_this(), key = std::string(key)] { (void)self->ongoing_.take(key); });
}

std::int64_t DZCSITimeRecorder::durationAfterEndTimingVariableWithName(std::string_view name) {
    if (name.empty()) return 0;
    double length = 0;
    const std::string text(name);
    const double now = currentTime();
    DZSyncOnQueue(*queue_, [&] { length = commonEndOnQueue(text, text, now); });
    return std::llround(length * 1000.0);
}

double DZCSITimeRecorder::commonEndOnQueue(const std::string& name, const std::string& key,
                                           double endTime) {
    if (name.empty() || key.empty()) return 0.0;
    std::shared_ptr<DZCSIVariableTiming> timing = ongoing_.take(key);
    if (!timing) return 0.0;
    const double length = timing->endAtTime(endTime);
    completed_.put(unusedCompletedKey(key), std::move(timing));
    return length;
}

std::string DZCSITimeRecorder::unusedCompletedKey(const std::string& key) {
    if (!completed_.contains(key)) return key;
    // A random suffix; counting up from it if that too is taken, so that no
    // completed timing is ever overwritten. A count starts past where the
    // key's last one stopped, as the same draws would meet the same keys.
    std::uint64_t suffix = core::Random::current()->nextUInt32();
    std::string candidate = key + std::to_string(suffix);
    if (!completed_.contains(candidate)) return candidate;
    const auto counted = countedSuffixes_.find(key);
    if (counted != countedSuffixes_.end()) suffix = std::max(suffix, counted->second);
    do {
        candidate = key + std::to_string(++suffix);
    } while (completed_.contains(candidate));
    countedSuffixes_[key] = suffix;
    return candidate;
}

Variables DZCSITimeRecorder::ongoingVariables() const {
    Variables copy;
    DZSyncOnQueue(*queue_, [&] { copy = ongoing_.list(); });
    return copy;
}

Variables DZCSITimeRecorder::completedVariables() const {
    Variables copy;
    DZSyncOnQueue(*queue_, [&] { copy = completed_.list(); });
    return copy;
}

void DZCSITimeRecorder::addCompletedVariable(const std::shared_ptr<DZCSIVariableTiming>& timing) {
    if (!timing) return;
    addCompletedVariable(timing, timing->name());
}

void DZCSITimeRecorder::addCompletedVariable(const std::shared_ptr<DZCSIVariableTiming>& timing,
                                             std::string_view key) {
    if (!timing || key.empty()) return;
    queue_->async([self = shared_from_this(), timing, key = std::string(key)] {
        self->completed_.put(key, timing);
    });
}

void DZCSITimeRecorder::removeCompletedVariableForKey(std::string_view key) {
    if (key.empty()) return;
    queue_->async(
        [self = shared_from_this(), key = std::string(key)] { (void)self->completed_.take(key); });
}

void DZCSITimeRecorder::removeCompletedVariables(
    std::vector<std::shared_ptr<DZCSIVariableTiming>> timings) {
    if (timings.empty()) return;
    queue_->async([self = shared_from_this(), timings = std::move(timings)] {
        self->completed_.eraseTimings(timings);
    });
}

void DZCSITimeRecorder::addExperimentID(std::optional<std::string_view> experimentID) {
    if (!experimentID) return;
    std::lock_guard lock(parametersMutex_);
    experimentIDs_.emplace_back(*experimentID);
}

void DZCSITimeRecorder::removeExperimentID(std::optional<std::string_view> experimentID) {
    if (!experimentID) return;
    std::lock_guard lock(parametersMutex_);
    std::erase(experimentIDs_, *experimentID);
}

void DZCSITimeRecorder::setCustomizedParameterValue(std::optional<std::string_view> value,
                                                    std::string_view key) {
    if (!value || key.empty()) return;
    std::lock_guard lock(parametersMutex_);
    customizedParameters_.set(std::string(key), core::Value(*value));
}

std::vector<std::string> DZCSITimeRecorder::experimentIDs() const {
    std::lock_guard lock(parametersMutex_);
    return experimentIDs_;
}

core::Dictionary DZCSITimeRecorder::customizedParameters() const {
    std::lock_guard lock(parametersMutex_);
    return customizedParameters_;
}

}  // namespace ads
