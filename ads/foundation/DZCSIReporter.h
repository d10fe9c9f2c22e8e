#pragma once
// Sends one CSI report of a time recorder: a GET of the configuration's
// server with the query "s", "v", "action", the recorder's parameters, "e"
// (experiment ids joined by ",", when there are any) and "it" (the valid
// completed timings as "<name>.<milliseconds>" joined by ","), carrying the
// configuration's User-Agent. The timings put into a URL leave the recorder;
// invalid ones stay for a later report. Fire-and-forget: no retry, the
// answer is only handed to the completion.
//
// Threading: any thread; completions run on the main queue.

#include <functional>
#include <memory>
#include <optional>

#include "ads/foundation/DZCSIConfiguration.h"
#include "ads/foundation/DZCSITimeRecorder.h"
#include "core/HTTPURLResponse.h"
#include "core/NetworkError.h"
#include "core/URL.h"

namespace ads {

class DZCSIReporter {
public:
    using Completion = std::function<void(const std::optional<core::HTTPURLResponse>& response,
                                          const std::optional<core::NetworkError>& error)>;

    explicit DZCSIReporter(std::shared_ptr<DZCSIConfiguration> configuration);

    // Sends the recorder's report when the configuration reports and a URL
    // results; the completion (may be empty) runs only for a sent report.
    void reportTimeRecorder(const std::shared_ptr<DZCSITimeRecorder>& recorder,
                            Completion completion) const;
    // nullopt without completed timings, or when the server is not an http
    // or https URL. Takes the valid timings it lists out of the recorder.
    [[nodiscard]] std::optional<core::URL>
    URLForTimeRecorder(const std::shared_ptr<DZCSITimeRecorder>& recorder) const;

    [[nodiscard]] const std::shared_ptr<DZCSIConfiguration>& configuration() const {
        return configuration_;
    }

private:
    const std::shared_ptr<DZCSIConfiguration> configuration_;
};

}  // namespace ads
