#pragma once
// The event log of one ad load cycle. It is made with a unique id (every
// command it sends carries it) and a "created" event; until the sawmill
// script is loaded its events wait in a buffer. The first event after that
// goes out as: the environment, the experiment ids (once they are stored),
// one array with everything buffered (the created event first), then the
// event; later events go out alone. Releasing the log sends
// {"sawmill": {"finish": 1}}, after flushing the buffer the same way when the
// script is loaded by then; before the script loads, nothing is sent at all.
//
// Threading: any thread. One lock orders a log's reports, so the commands of
// one log reach the script in the order they were reported.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace ads {

class DZBufferedSawmillLogger;

class DZSawmillLogger {
public:
    static constexpr std::string_view kExperimentIDsKey = "/dozuza/ads/experiment_id_string";

    // nullptr unless the sawmill settings exist and are enabled.
    [[nodiscard]] static std::shared_ptr<DZSawmillLogger> create();
    ~DZSawmillLogger();
    DZSawmillLogger(const DZSawmillLogger&) = delete;
    DZSawmillLogger& operator=(const DZSawmillLogger&) = delete;

    [[nodiscard]] const std::string& sawmillID() const { return sawmillID_; }

    // Sends or buffers one event; nothing for no event.
    void reportEvent(const std::optional<core::Dictionary>& event);
    // Sends the commands as one array, each with this log's id, or buffers
    // them again while the script is not loaded.
    void reportBufferedParameters(core::Array commands);
    void reportEnvironment();
    // Nothing while no experiment ids are stored.
    void reportExperimentIDs();
    // Sends [command]; nothing for no command.
    void executeSawmillCommandWithParameter(std::optional<core::Dictionary> command);
    [[nodiscard]] std::optional<core::Dictionary>
    sawmillParametersFromEvent(const core::Dictionary& event) const;

    [[nodiscard]] bool environmentReported() const;
    void setEnvironmentReported(bool reported);
    [[nodiscard]] bool experimentIDsReported() const;
    void setExperimentIDsReported(bool reported);
    // Whether the buffer is still there (the script has not been used yet).
    [[nodiscard]] bool isBuffering() const;

private:
    DZSawmillLogger(std::string sawmillID, std::unique_ptr<DZBufferedSawmillLogger> buffer);
    // Environment, experiments and the buffer, as far as still due. Called
    // with reportMutex_ held, once the script is loaded.
    void reportFramingEvents();

    const std::string sawmillID_;
    mutable std::recursive_mutex reportMutex_;
    std::unique_ptr<DZBufferedSawmillLogger> bufferedLogger_;
    mutable std::mutex flagsMutex_;
    bool environmentReported_ = false;
    bool experimentIDsReported_ = false;
};

}  // namespace ads
