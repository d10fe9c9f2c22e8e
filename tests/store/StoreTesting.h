#pragma once
// Helpers for the store tests: a scripted store installed for the test's
// lifetime on a fresh default payment queue, and recorders for delegate and
// observer calls, which come from the store's callback queue.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/RunLoop.h"
#include "store/MailComposeViewController.h"
#include "store/PaymentQueue.h"
#include "store/ScriptedStore.h"
#include "store/StoreBackend.h"

namespace storetest {

inline constexpr double kLimit = 10.0;

// The results a mail composer reports to its delegate, in order.
struct MailRecorder : store::MailComposeViewControllerDelegate {
    void mailComposeController(store::MailComposeViewController&, store::MailComposeResult result,
                               const std::optional<store::StoreError>& error) override {
        results.push_back(result);
        errors.push_back(error);
    }
    std::vector<store::MailComposeResult> results;
    std::vector<std::optional<store::StoreError>> errors;
};

class ScriptedStoreScope {
public:
    ScriptedStoreScope() : previous_(store::StoreBackend::install(store_)) {
        store::PaymentQueue::defaultQueue().resetForTesting();
    }
    ~ScriptedStoreScope() {
        store::PaymentQueue::defaultQueue().resetForTesting();
        (void)store::StoreBackend::install(previous_);
    }
    ScriptedStoreScope(const ScriptedStoreScope&) = delete;
    ScriptedStoreScope& operator=(const ScriptedStoreScope&) = delete;

    store::ScriptedStore* operator->() const { return store_.get(); }
    [[nodiscard]] store::ScriptedStore& store() const { return *store_; }

private:
    std::shared_ptr<store::ScriptedStore> store_ = std::make_shared<store::ScriptedStore>();
    std::shared_ptr<store::StoreBackend> previous_;
};

inline store::Product tipProduct() {
    return {"veltrogallery_drink_0", "一杯饮料",  "请开发者喝一杯", "6.00",
            "zh_CN@currency=CNY",    std::nullopt};
}

// Waits until everything queued on the callback queue so far has run.
inline void drainCallbackQueue() {
    for (int i = 0; i < 3; ++i) store::StoreBackend::callbackQueue()->sync([] {});
}

[[nodiscard]] inline bool waitUntil(const std::function<bool()>& predicate) {
    return core::RunLoop::main().runUntil(predicate, kLimit);
}

// Every call as one text, with whether it came on the callback queue.
class CallLog {
public:
    void add(std::string call) {
        const std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
        if (!store::StoreBackend::callbackQueue()->isCurrent()) offQueue_ = true;
    }
    [[nodiscard]] std::vector<std::string> calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }
    [[nodiscard]] size_t size() const { return calls().size(); }
    [[nodiscard]] bool allOnCallbackQueue() const {
        const std::lock_guard lock(mutex_);
        return !offQueue_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    bool offQueue_ = false;
};

}  // namespace storetest
