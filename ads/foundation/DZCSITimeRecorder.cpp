#include "ads/foundation/DZCSITimeRecorder.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "core/Clock.h"
#include "core/Random.h"

namespace ads {

namespace {

using Variables = DZCSITimeRecorder::Variables;

Variables::iterator findKey(Variables& variables, std::string_view key) {
    return std::find_if(variables.begin(), variables.end(),
                        [key](const auto& variable) { return variable.key == key; });
}

bool containsKey(const Variables& variables, std::string_view key) {
    return std::any_of(variables.begin(), variables.end(),
                       [key](const auto& variable) { return variable.key == key; });
}

void put(Variables& variables, std::string key, std::shared_ptr<DZCSIVariableTiming> timing) {
    const auto found = findKey(variables, key);
    if (found != variables.end()) {
        found->timing = std::move(timing);
    } else {
        variables.push_back({std::move(key), std::move(timing)});
    }
}

void eraseKey(Variables& variables, std::string_view key) {
    const auto found = findKey(variables, key);
    if (found != variables.end()) variables.erase(found);
}

}  // namespace

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
        put(self->ongoing_, key, timing);
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
        [self = shared_from_this(), key = std::string(key)] { eraseKey(self->ongoing_, key); });
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
    const auto running = findKey(ongoing_, key);
    if (running == ongoing_.end()) return 0.0;
    std::shared_ptr<DZCSIVariableTiming> timing = running->timing;
    ongoing_.erase(running);
    const double length = timing->endAtTime(endTime);
    put(completed_, unusedCompletedKey(key), std::move(timing));
    return length;
}

std::string DZCSITimeRecorder::unusedCompletedKey(const std::string& key) const {
    if (!containsKey(completed_, key)) return key;
    // A random suffix; counting up from it if that too is taken, so that no
    // completed timing is ever overwritten.
    std::uint64_t suffix = core::Random::current()->nextUInt32();
    std::string candidate = key + std::to_string(suffix);
    while (containsKey(completed_, candidate)) candidate = key + std::to_string(++suffix);
    return candidate;
}

Variables DZCSITimeRecorder::ongoingVariables() const {
    Variables copy;
    DZSyncOnQueue(*queue_, [&] { copy = ongoing_; });
    return copy;
}

Variables DZCSITimeRecorder::completedVariables() const {
    Variables copy;
    DZSyncOnQueue(*queue_, [&] { copy = completed_; });
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
        put(self->completed_, key, timing);
    });
}

void DZCSITimeRecorder::removeCompletedVariableForKey(std::string_view key) {
    if (key.empty()) return;
    queue_->async(
        [self = shared_from_this(), key = std::string(key)] { eraseKey(self->completed_, key); });
}

void DZCSITimeRecorder::removeCompletedVariables(
    std::vector<std::shared_ptr<DZCSIVariableTiming>> timings) {
    if (timings.empty()) return;
    queue_->async([self = shared_from_this(), timings = std::move(timings)] {
        std::erase_if(self->completed_, [&timings](const Variable& variable) {
            return std::find(timings.begin(), timings.end(), variable.timing) != timings.end();
        });
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
