#pragma once
// The request of the publisher-server variant: a DZRequest with the
// publisher's own identifier for the user ("ppid") and the ad categories to
// leave out ("category_exclusions"). Same threading as DZRequest.

#include <memory>
#include <optional>
#include <string>

#include "ads/core/request/DZRequest.h"

namespace ads {

class ZODRequest : public DZRequest {
public:
    static constexpr const char* kClassName = "ZODRequest";

    [[nodiscard]] static std::shared_ptr<ZODRequest> request();
    // As DZRequest::initWithParameters, with ZODRequest as the class that
    // answers when the dictionary names no other.
    [[nodiscard]] static std::shared_ptr<DZRequest>
    initWithParameters(const core::Value& parameters);
    // Correlation is the slot's business in this SDK: does nothing.
    static void updateCorrelator() {}

    [[nodiscard]] std::string className() const override { return kClassName; }
    [[nodiscard]] core::Dictionary threadSafeParameters() const override;

    [[nodiscard]] const std::optional<std::string>& publisherProvidedID() const {
        return publisherProvidedID_;
    }
    void setPublisherProvidedID(std::optional<std::string> identifier) {
        publisherProvidedID_ = std::move(identifier);
    }
    [[nodiscard]] const std::optional<core::Array>& categoryExclusions() const {
        return categoryExclusions_;
    }
    void setCategoryExclusions(std::optional<core::Array> exclusions) {
        categoryExclusions_ = std::move(exclusions);
    }

protected:
    void readParameters(const core::Dictionary& parameters) override;
    void copyFieldsTo(DZRequest& copy) const override;

private:
    std::optional<std::string> publisherProvidedID_;
    std::optional<core::Array> categoryExclusions_;
};

}  // namespace ads
