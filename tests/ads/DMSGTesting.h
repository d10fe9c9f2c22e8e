#pragma once
// A dmsg handler for tests: claims the names it is given, records every
// message it performs as "<name> <parameters as JSON>", and holds messages
// back while `hold` is set.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ads/web/dmsg/DZDMSGHandler.h"
#include "ads/web/view/DZNotification.h"
#include "core/JSON.h"

namespace dmsgtesting {

class RecordingHandler : public ads::DZDMSGHandler {
public:
    explicit RecordingHandler(std::vector<std::string> names) {
        for (auto& name : names)
            table_.emplace(std::move(name),
                           [](DZDMSGHandler& handler, const std::shared_ptr<ads::DZAdView>&,
                              const core::Dictionary& parameters) {
                               auto& self = static_cast<RecordingHandler&>(handler);
                               self.performed.push_back(self.current_ + " " +
                                                        core::JSON::write(parameters).value_or(""));
                           });
    }
    bool shouldBufferNotification(const ads::DZNotification& notification,
                                  const std::shared_ptr<ads::DZAdView>&) override {
        current_ = notification.name();
        return hold;
    }
    [[nodiscard]] const ActionTable* actionBlockDictionary() const override { return &table_; }

    // The parameters of the message performed at index; nullopt when they
    // are no JSON.
    [[nodiscard]] std::optional<core::Value> parametersAt(size_t index) const {
        const std::string& entry = performed.at(index);
        return core::JSON::parse(entry.substr(entry.find(' ') + 1));
    }

    bool hold = false;
    std::vector<std::string> performed;

private:
    ActionTable table_;
    std::string current_;
};

[[nodiscard]] inline std::shared_ptr<const ads::DZNotification>
message(std::string name, core::Dictionary parameters = {}) {
    return ads::DZNotification::create(std::move(name), std::move(parameters));
}

}  // namespace dmsgtesting
