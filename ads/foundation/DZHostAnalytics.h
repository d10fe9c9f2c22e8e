#pragma once
// What the SDK may ask of a host app's analytics library. The library is not
// part of the program: a host that has one registers its objects by name in
// DZHostAnalyticsRegistry, each implementing the interfaces below that it
// supports. DZAnalytics looks them up and checks what each one answers.
//
// Implementations are called from any thread.

#include <optional>
#include <string>

#include "core/Value.h"

namespace ads {

// Every registered object derives from this.
class DZHostAnalyticsObject {
public:
    virtual ~DZHostAnalyticsObject() = default;
};

// Registered as "HSTAIdentifiers".
class DZHostAnalyticsIdentifiers : public virtual DZHostAnalyticsObject {
public:
    [[nodiscard]] virtual std::optional<std::string> dozuzaAppID() const = 0;
    [[nodiscard]] virtual std::optional<std::string> appInstanceID() const = 0;
    [[nodiscard]] virtual std::optional<std::string> adEventID() const = 0;
};

// Registered as "HSTAnalytics".
class DZHostAnalyticsEventLogger : public virtual DZHostAnalyticsObject {
public:
    virtual void logInternalEventWithOrigin(const std::string& origin, const std::string& name,
                                            const core::Dictionary& parameters) = 0;
};

// Registered as "HSTAAdExposureReporter"; used only when the object
// implements both halves.
class DZHostAdExposureBeginning : public virtual DZHostAnalyticsObject {
public:
    virtual void beginAdUnitExposure(const std::string& adUnitID) = 0;
};
class DZHostAdExposureEnding : public virtual DZHostAnalyticsObject {
public:
    virtual void endAdUnitExposure(const std::string& adUnitID) = 0;
};

struct DZHostScreenView {
    std::optional<std::string> screenName;
    std::optional<std::string> screenClass;
};

// Registered as "HSTAScreenViewReporter".
class DZHostScreenViewReporter : public virtual DZHostAnalyticsObject {
public:
    virtual void setScreenName(const std::optional<std::string>& screenName,
                               const std::optional<std::string>& screenClass) = 0;
};
// Optional for a screen-view reporter.
class DZHostScreenViewSource : public virtual DZHostAnalyticsObject {
public:
    [[nodiscard]] virtual DZHostScreenView getScreenName() const = 0;
};

}  // namespace ads
