#pragma once
// One measured interval of a CSI time recorder: a name, a start on the
// recorder's clock and a length (-1 while it runs), both in seconds. It is
// valid, and so reportable, only when start and length are both positive.
//
// While it runs (from its creation until it has a length, or is released)
// the timing watches the application's will-resign-active notification: a
// timing still running then has its start set to -1, so an interval that
// spans the app leaving the foreground is never reported. An ended timing
// holds no registration, so any number of them may wait for a report.
//
// Threading: safe from any thread; start and length are guarded by a lock.

#include <memory>
#include <mutex>
#include <string>

namespace ads {

class DZCSIVariableTiming : public std::enable_shared_from_this<DZCSIVariableTiming> {
public:
    static constexpr double kRunning = -1.0;

    [[nodiscard]] static std::shared_ptr<DZCSIVariableTiming> create(std::string name,
                                                                     double startTime);
    ~DZCSIVariableTiming();
    DZCSIVariableTiming(const DZCSIVariableTiming&) = delete;
    DZCSIVariableTiming& operator=(const DZCSIVariableTiming&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] double start() const;
    void setStart(double start);
    [[nodiscard]] double length() const;
    void setLength(double length);
    [[nodiscard]] bool isValid() const;
    // Sets the length to time - start in one step with the resign-active
    // check, and answers it.
    double endAtTime(double time);

private:
    DZCSIVariableTiming(std::string name, double startTime);
    // mutex_ held: registers or unregisters as the length says.
    void watchResignActiveWhileRunningLocked();
    void applicationWillResignActive();

    const std::string name_;
    mutable std::mutex mutex_;
    double start_;
    double length_ = kRunning;
    bool watching_ = false;
};

}  // namespace ads
