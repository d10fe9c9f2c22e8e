#pragma once
// The base of every dmsg handler. A handler class declares, once per class,
// a table from message name to callback; an instance claims a message
// exactly when its class's table names it, and then performs it at once or,
// while shouldBufferNotification() says so, holds it back (with the ad view
// it came from) until flushBuffer(). At most kMaximumBufferedNotifications
// wait; beyond that the oldest is dropped and logged.
//
// Main thread: routers offer messages there and flush there.

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/URL.h"
#include "core/URLRequest.h"
#include "core/Value.h"

namespace ads {

class DZAdView;
class DZNotification;

class DZDMSGHandler : public std::enable_shared_from_this<DZDMSGHandler> {
public:
    using Callback =
        std::function<void(DZDMSGHandler& handler, const std::shared_ptr<DZAdView>& adView,
                           const core::Dictionary& parameters)>;
    using ActionTable = std::map<std::string, Callback, std::less<>>;
    using Buffered = std::pair<std::shared_ptr<const DZNotification>, std::shared_ptr<DZAdView>>;

    static constexpr size_t kMaximumBufferedNotifications = 100;

    DZDMSGHandler() = default;
    virtual ~DZDMSGHandler() = default;
    DZDMSGHandler(const DZDMSGHandler&) = delete;
    DZDMSGHandler& operator=(const DZDMSGHandler&) = delete;

    // Builds the message of a dmsg request and handles it; false for any
    // other request (no message is built).
    bool handleRequest(const core::URLRequest& request, const std::shared_ptr<DZAdView>& adView);
    // True when claimed: later handlers are not offered the message.
    bool handleNotification(const std::shared_ptr<const DZNotification>& notification,
                            const std::shared_ptr<DZAdView>& adView);
    // Asked only for claimed messages.
    [[nodiscard]] virtual bool shouldBufferNotification(const DZNotification& notification,
                                                        const std::shared_ptr<DZAdView>& adView);
    // Offers every held message again, in order; those whose condition
    // still holds are held again.
    void flushBuffer();

    // The class's tables, built once; the base claims nothing.
    [[nodiscard]] virtual const ActionTable* actionBlockDictionary() const { return nullptr; }
    [[nodiscard]] virtual const ActionTable* subActionBlockDictionary() const { return nullptr; }

    [[nodiscard]] const std::deque<Buffered>& bufferedNotifications() const { return buffered_; }

protected:
    // A table entry that calls the handler's method with the ad view and
    // the parameters.
    template <typename Handler>
    [[nodiscard]] static Callback action(void (Handler::*method)(const std::shared_ptr<DZAdView>&,
                                                                 const core::Dictionary&)) {
        return [method](DZDMSGHandler& handler, const std::shared_ptr<DZAdView>& adView,
                        const core::Dictionary& parameters) {
            (static_cast<Handler&>(handler).*method)(adView, parameters);
        };
    }
    // The text under key; nullptr when absent or not text.
    [[nodiscard]] static const std::string* stringParameter(const core::Dictionary& parameters,
                                                            std::string_view key);
    // The URL the text under key makes; none when absent or not a URL.
    [[nodiscard]] static std::optional<core::URL> URLFromParams(const core::Dictionary& parameters,
                                                                std::string_view key);
    // Calls the sub-action named by parameters[key] from the sub-action
    // table; false when there is none of that name.
    bool performSubAction(std::string_view key, const std::shared_ptr<DZAdView>& adView,
                          const core::Dictionary& parameters);

private:
    std::deque<Buffered> buffered_;
};

}  // namespace ads
