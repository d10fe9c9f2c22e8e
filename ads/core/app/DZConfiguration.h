#pragma once
// A key/value store in which every value carries the priority under which it
// was written: a write with a lower priority than the stored one is ignored,
// so what the publisher states (999) outlives what the server sends (500).
// Writing the value already stored changes nothing, not even its priority.
//
// Threading: the values, priorities and delegate live on the serial queue
// "com.dozuza.vuraz.application-config"; writes are queued, reads wait, so
// a read after a write on the same thread sees it. After a change the
// delegate (held weakly) is told on the default-priority global queue.
//
// Archived form: a keyed archive of {"parameters": values,
// "priorities": key to signed integer}.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ads/core/app/DZConfigurationDelegate.h"
#include "core/Queue.h"
#include "core/Value.h"

namespace ads {

class DZConfiguration : public std::enable_shared_from_this<DZConfiguration> {
public:
    static constexpr std::string_view kParametersKey = "parameters";
    static constexpr std::string_view kPrioritiesKey = "priorities";

    // Empty, without a delegate.
    [[nodiscard]] static std::shared_ptr<DZConfiguration> create();
    // The configuration a coded dictionary holds (encode()'s form); a part
    // that is not a dictionary counts as empty.
    [[nodiscard]] static std::shared_ptr<DZConfiguration> create(const core::Dictionary& coded);
    // nullptr (with the reason in error) when the bytes are not a keyed
    // archive of a dictionary.
    [[nodiscard]] static std::shared_ptr<DZConfiguration>
    createWithArchive(std::span<const std::uint8_t> archive, std::string* error = nullptr);

    DZConfiguration(const DZConfiguration&) = delete;
    DZConfiguration& operator=(const DZConfiguration&) = delete;

    // The stored value, nullopt when absent.
    [[nodiscard]] std::optional<core::Value> objectForKeyedSubscript(std::string_view key) const;
    // A nullopt value removes the key's value (a change like any other).
    void setObject(std::optional<core::Value> value, std::string key, std::int64_t priority);
    // Every entry at the same priority; the delegate is told once when at
    // least one entry changed.
    void addEntriesFromDictionary(core::Dictionary dictionary, std::int64_t priority);
    // For every key of priorities, the value values holds for it at that
    // priority; a key without a value keeps its priority (it was removed at
    // it); values without a priority are dropped. Runs on the
    // caller's thread and tells no delegate: only for filling a
    // configuration that nobody else sees yet.
    void addEntriesFromDictionary(const core::Dictionary& values,
                                  const core::Dictionary& priorities);

    [[nodiscard]] std::shared_ptr<DZConfigurationDelegate> delegate() const;
    void setDelegate(std::weak_ptr<DZConfigurationDelegate> delegate);

    // {"parameters": ..., "priorities": ...}.
    [[nodiscard]] core::Dictionary encode() const;
    // The keyed archive of encode(); nullopt (with the reason in error) for
    // values too deep or too large to archive.
    [[nodiscard]] std::optional<core::Data> archive(std::string* error = nullptr) const;
    // Same entries and priorities, no delegate.
    [[nodiscard]] std::shared_ptr<DZConfiguration> copy() const;

private:
    DZConfiguration();
    // Lock queue, or a configuration nobody else sees yet.
    bool updatedBySettingValue(const std::optional<core::Value>& value, std::int64_t priority,
                               const std::string& key);
    // Lock queue.
    void didUpdate();

    const std::shared_ptr<core::Queue> lockQueue_;
    core::Dictionary parameters_;
    core::Dictionary priorities_;
    std::weak_ptr<DZConfigurationDelegate> delegate_;
};

}  // namespace ads
