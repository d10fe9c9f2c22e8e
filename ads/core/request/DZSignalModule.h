#pragma once
// The SDK's click and touch signal module: what an ad request, a click and
// the foreground ping may carry about how the user interacts with ads.
//
// The module in this build gives no request signal: it is started and
// answers querySignal() with "nothing written"; its click signal is the one
// of the click-signal module (DZGestureClickSignal, ads/core/click), made
// from the latest touch on an ad view; the touches an ad page reports to it
// are recorded in DZCallLog as "DZGestureReportTouch <x> <y> <d>". The SDK
// reads it through this interface so that a module that gives signals can
// be installed without changing its callers; tests install scripted ones.
//
// start(), querySignal() and clickSignal() are called on the main thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ads {

class DZSignalModule {
public:
    virtual ~DZSignalModule() = default;

    // Once per process, before the first read.
    virtual void start(std::string_view sdkVersion) = 0;
    // Writes one "name=value" pair into signal and answers whether it did.
    // enabled is the server's switch for the signal.
    virtual bool querySignal(std::string& signal, bool enabled) = 0;
    // A touch an ad page reports ("tx", "ty", "td").
    virtual void reportTouch(std::int32_t x, std::int32_t y, std::int32_t d);
    // The signal of a click on an ad-server URL whose "ai" query value is
    // clickValue: writes one "name=value" text into signal and answers
    // whether it did. By default the click-signal module's. Main thread.
    virtual bool clickSignal(std::string_view clickValue, std::string& signal);

    // The installed module (the one of this build until another is
    // installed); nullptr restores it.
    [[nodiscard]] static std::shared_ptr<DZSignalModule> current();
    static void install(std::shared_ptr<DZSignalModule> module);
};

// The installed module's touch entry.
void DZGestureReportTouch(std::int32_t x, std::int32_t y, std::int32_t d);

}  // namespace ads
