#include "ads/core/request/DZSignalModule.h"

#include <mutex>

#include "ads/core/click/DZClickSignal.h"
#include "ads/foundation/DZCallLog.h"

namespace ads {

namespace {

class SilentSignalModule final : public DZSignalModule {
public:
    void start(std::string_view) override {}
    bool querySignal(std::string&, bool) override { return false; }
};

struct Installed {
    std::mutex mutex;
    std::shared_ptr<DZSignalModule> module = std::make_shared<SilentSignalModule>();
};

Installed& installed() {
    static Installed* const shared = new Installed;
    return *shared;
}

}  // namespace

void DZSignalModule::reportTouch(std::int32_t x, std::int32_t y, std::int32_t d) {
    DZCallLog::record("DZGestureReportTouch " + std::to_string(x) + " " + std::to_string(y) + " " +
                      std::to_string(d));
}

bool DZSignalModule::clickSignal(std::string_view clickValue, std::string& signal) {
    return DZGestureClickSignal(clickValue, signal);
}

void DZGestureReportTouch(std::int32_t x, std::int32_t y, std::int32_t d) {
    DZSignalModule::current()->reportTouch(x, y, d);
}

std::shared_ptr<DZSignalModule> DZSignalModule::current() {
    Installed& shared = installed();
    std::lock_guard lock(shared.mutex);
    return shared.module;
}

void DZSignalModule::install(std::shared_ptr<DZSignalModule> module) {
    Installed& shared = installed();
    std::lock_guard lock(shared.mutex);
    shared.module = module ? std::move(module) : std::make_shared<SilentSignalModule>();
}

}  // namespace ads
