#include "ads/core/request/ZODRequest.h"

#include "core/CharacterSet.h"

namespace ads {

std::shared_ptr<ZODRequest> ZODRequest::request() {
    return std::make_shared<ZODRequest>();
}

std::shared_ptr<DZRequest> ZODRequest::initWithParameters(const core::Value& parameters) {
    return rebuild(kClassName, parameters);
}

void ZODRequest::copyFieldsTo(DZRequest& copy) const {
    DZRequest::copyFieldsTo(copy);
    if (auto* request = dynamic_cast<ZODRequest*>(&copy)) {
        request->setPublisherProvidedID(publisherProvidedID_);
        request->setCategoryExclusions(categoryExclusions_);
    }
}

core::Dictionary ZODRequest::threadSafeParameters() const {
    core::Dictionary parameters = DZRequest::threadSafeParameters();
    if (publisherProvidedID_) {
        std::string trimmed =
            core::CharacterSet::whitespaceAndNewline().trim(*publisherProvidedID_);
        if (!trimmed.empty()) parameters.set("ppid", std::move(trimmed));
    }
    if (categoryExclusions_ && !categoryExclusions_->empty())
        parameters.set("category_exclusions", *categoryExclusions_);
    return parameters;
}

void ZODRequest::readParameters(const core::Dictionary& parameters) {
    DZRequest::readParameters(parameters);
    const core::Value& ppid = parameters["ppid"];
    publisherProvidedID_ = ppid.isString() ? std::optional(*ppid.string()) : std::nullopt;
    const core::Value& exclusions = parameters["category_exclusions"];
    categoryExclusions_ = exclusions.isArray() ? std::optional(*exclusions.array()) : std::nullopt;
}

}  // namespace ads
