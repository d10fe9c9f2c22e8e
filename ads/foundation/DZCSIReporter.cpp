#include "ads/foundation/DZCSIReporter.h"

#include <cmath>
#include <utility>
#include <vector>

#include "ads/foundation/DZQueryParameters.h"
#include "ads/foundation/DZURLSessionLimits.h"
#include "core/Queue.h"
#include "core/URLRequest.h"
#include "core/URLSession.h"

namespace ads {

namespace {

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) text.push_back(',');
        text.append(parts[i]);
    }
    return text;
}

}  // namespace

DZCSIReporter::DZCSIReporter(std::shared_ptr<DZCSIConfiguration> configuration)
    : configuration_(std::move(configuration)) {}

void DZCSIReporter::reportTimeRecorder(const std::shared_ptr<DZCSITimeRecorder>& recorder,
                                       Completion completion) const {
    if (!configuration_ || !configuration_->reportingEnabled()) return;
    const auto url = URLForTimeRecorder(recorder);
    if (!url) return;
    core::URLRequest request(*url);
    request.setValue("User-Agent", configuration_->userAgent());
    auto task = DZURLSession()->dataTask(
        std::move(request),
        [completion = std::move(completion)](core::Data,
                                             std::optional<core::HTTPURLResponse> response,
                                             std::optional<core::NetworkError> error) {
            if (completion) completion(response, error);
        },
        core::Queue::main());
    task->resume();
}

std::optional<core::URL>
DZCSIReporter::URLForTimeRecorder(const std::shared_ptr<DZCSITimeRecorder>& recorder) const {
    if (!recorder || !configuration_) return std::nullopt;
    const DZCSITimeRecorder::Variables completed = recorder->completedVariables();
    if (completed.empty()) return std::nullopt;
    const auto server = core::URL::create(configuration_->server());
    if (!server || !server->isHTTPorHTTPS()) return std::nullopt;

    core::Dictionary parameters;
    parameters.set("s", configuration_->serviceName());
    parameters.set("v", std::to_string(configuration_->version()));
    parameters.set("action", recorder->action());
    for (const auto& [key, value] : recorder->customizedParameters()) parameters.set(key, value);
    const std::vector<std::string> experimentIDs = recorder->experimentIDs();
    if (!experimentIDs.empty()) parameters.set("e", joined(experimentIDs));

    std::vector<std::string> intervals;
    std::vector<std::shared_ptr<DZCSIVariableTiming>> reported;
    for (const auto& variable : completed) {
        if (!variable.timing->isValid()) continue;
        const auto milliseconds =
            static_cast<unsigned long long>(std::llround(variable.timing->length() * 1000.0));
        std::string interval = variable.timing->name();
        interval.append(".").append(std::to_string(milliseconds));
        intervals.push_back(std::move(interval));
        reported.push_back(variable.timing);
    }
    parameters.set("it", joined(intervals));
    auto url = DZURLByAddingQueryParameters(server, parameters);
    if (url) recorder->removeCompletedVariables(std::move(reported));
    return url;
}

}  // namespace ads
