#pragma once
// The timings of one CSI action (an ad load, the core page load): variables
// started and ended by key, the completed ones waiting for the next report,
// and the experiment ids and extra parameters that go into every report of
// the action. Ending a key that already has a completed timing keeps both:
// the later one is filed under the key followed by a random number.
//
// A timing ends at the time of the call that ends it, even though the
// bookkeeping runs later on the queue. Empty names and keys count as missing
// and are ignored.
//
// Threading: any thread. The two variable maps live on the serial queue
// "com.dozuza.vuraz.csi-time-recorder": changes are queued asynchronously,
// reads wait for the queue, so a read sees every change queued before it.
// The experiment ids and the parameters are guarded by a lock of their own.

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ads/foundation/DZCSIVariableTiming.h"
#include "core/Queue.h"
#include "core/Value.h"

namespace ads {

class DZCSITimeRecorder : public std::enable_shared_from_this<DZCSITimeRecorder> {
public:
    struct Variable {
        std::string key;
        std::shared_ptr<DZCSIVariableTiming> timing;
    };
    // In the order the keys were first stored.
    using Variables = std::vector<Variable>;

    [[nodiscard]] static std::shared_ptr<DZCSITimeRecorder> create(std::string action);
    DZCSITimeRecorder(const DZCSITimeRecorder&) = delete;
    DZCSITimeRecorder& operator=(const DZCSITimeRecorder&) = delete;

    // Seconds of the monotonic clock (core::Clock).
    [[nodiscard]] static double currentTime();

    [[nodiscard]] const std::string& action() const { return action_; }

    // The name serves as the key.
    void startTimingVariableWithName(std::string_view name);
    void endTimingVariableWithName(std::string_view name);
    void cancelTimingVariableWithName(std::string_view name);
    // Replaces a running timing of the same key.
    void startTimingVariableWithName(std::string_view name, std::string_view key);
    void endTimingVariableWithName(std::string_view name, std::string_view key);
    void cancelTimingVariableWithName(std::string_view name, std::string_view key);
    // Ends the timing of that name (also its key) before returning; its
    // length in whole milliseconds, rounded, or 0 when none was running.
    [[nodiscard]] std::int64_t durationAfterEndTimingVariableWithName(std::string_view name);

    [[nodiscard]] Variables ongoingVariables() const;
    [[nodiscard]] Variables completedVariables() const;
    // Filed under the timing's name; nullptr is ignored.
    void addCompletedVariable(const std::shared_ptr<DZCSIVariableTiming>& timing);
    void addCompletedVariable(const std::shared_ptr<DZCSIVariableTiming>& timing,
                              std::string_view key);
    void removeCompletedVariableForKey(std::string_view key);
    // Removes these very timings, whatever key they are under; a timing
    // stored since under one of their keys stays. Its cost grows with the
    // completed timings and these, not with their product.
    void removeCompletedVariables(std::vector<std::shared_ptr<DZCSIVariableTiming>> timings);

    // Appended in order; nullopt is ignored. Removing drops every equal id.
    void addExperimentID(std::optional<std::string_view> experimentID);
    void removeExperimentID(std::optional<std::string_view> experimentID);
    // Stored when there is a value and the key is not empty.
    void setCustomizedParameterValue(std::optional<std::string_view> value, std::string_view key);
    [[nodiscard]] std::vector<std::string> experimentIDs() const;
    // Text values, in the order the keys were first set.
    [[nodiscard]] core::Dictionary customizedParameters() const;

private:
    // Variables in the order their keys were first stored, found by key in
    // constant time.
    class KeyedVariables {
    public:
        [[nodiscard]] bool contains(std::string_view key) const;
        // Keeps the key's place when it is there already.
        void put(std::string key, std::shared_ptr<DZCSIVariableTiming> timing);
        // The key's timing, taken out; nullptr when absent.
        std::shared_ptr<DZCSIVariableTiming> take(std::string_view key);
        void eraseTimings(const std::vector<std::shared_ptr<DZCSIVariableTiming>>& timings);
        [[nodiscard]] Variables list() const;

    private:
        std::list<Variable> order_;
        // Keys are views of the keys in order_, whose nodes never move.
        std::unordered_map<std::string_view, std::list<Variable>::iterator> byKey_;
    };

    explicit DZCSITimeRecorder(std::string action);

    // On queue_: ends the key's timing at endTime (read when the caller
    // asked); the length in seconds, 0 when nothing ran under the key.
    double commonEndOnQueue(const std::string& name, const std::string& key, double endTime);
    // On queue_.
    [[nodiscard]] std::string unusedCompletedKey(const std::string& key);

    const std::string action_;
    const std::shared_ptr<core::Queue> queue_;
    // queue_ only.
    KeyedVariables ongoing_;
    KeyedVariables completed_;
    // Where counting up from a taken suffix last stopped, by key: a later
    // count under the key starts past it rather than over the same keys.
    std::unordered_map<std::string, std::uint64_t> countedSuffixes_;

    mutable std::mutex parametersMutex_;
    std::vector<std::string> experimentIDs_;
    core::Dictionary customizedParameters_;
};

}  // namespace ads
