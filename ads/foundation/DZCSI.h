#pragma once
// A hub of CSI timings: one time recorder per action name, and raw
// millisecond timestamps under labels from which callers build intervals.
// sendReport() reports every recorder and forgets the timestamps; the
// recorders stay, so later timings go into later reports.
//
// sharedInstance() is the process-wide hub; each ad slot and the core page's
// web view make their own with create(). Every hub has its own
// configuration and so its own sampling decision: while it does not report,
// timeRecorderForAction() answers nullptr.
//
// Threading: any thread. The recorder and timestamp maps live on the serial
// queue "com.dozuza.vuraz.csi-lock": finding or making a recorder and reading
// a timestamp wait for it, storing a timestamp and sending are queued.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ads/foundation/DZCSIConfiguration.h"
#include "ads/foundation/DZCSITimeRecorder.h"
#include "core/Queue.h"

namespace ads {

class DZCSI : public std::enable_shared_from_this<DZCSI> {
public:
    static std::shared_ptr<DZCSI> sharedInstance();
    // With DZCSIConfiguration::defaultConfiguration().
    [[nodiscard]] static std::shared_ptr<DZCSI> create();
    [[nodiscard]] static std::shared_ptr<DZCSI>
    create(std::shared_ptr<DZCSIConfiguration> configuration);
    DZCSI(const DZCSI&) = delete;
    DZCSI& operator=(const DZCSI&) = delete;

    [[nodiscard]] const std::shared_ptr<DZCSIConfiguration>& configuration() const {
        return configuration_;
    }

    // The action's recorder, made and registered in the same step when
    // absent: a new one carries "sdkVersion" and the SDK version as its first
    // experiment id. An existing one is given the current query id as "gqi".
    // nullptr for an empty action or while the configuration does not report.
    [[nodiscard]] std::shared_ptr<DZCSITimeRecorder> timeRecorderForAction(std::string_view action);

    // Now, in whole milliseconds since 1970. Empty labels are ignored.
    void recordTimestampForLabel(std::string_view label);
    void setTimestamp(std::int64_t milliseconds, std::string_view label);
    // 0 when absent.
    [[nodiscard]] std::int64_t timestampForLabel(std::string_view label) const;

    void sendReport();

    // The ad server's query id of the current ad.
    [[nodiscard]] std::optional<std::string> DWSQueryID() const;
    void setDWSQueryID(std::optional<std::string> queryID);

private:
    explicit DZCSI(std::shared_ptr<DZCSIConfiguration> configuration);

    const std::shared_ptr<DZCSIConfiguration> configuration_;
    const std::shared_ptr<core::Queue> lockQueue_;
    // lockQueue_ only.
    std::map<std::string, std::shared_ptr<DZCSITimeRecorder>, std::less<>> timeRecorders_;
    std::map<std::string, std::int64_t, std::less<>> timestamps_;

    mutable std::mutex queryIDMutex_;
    std::optional<std::string> queryID_;
};

}  // namespace ads
