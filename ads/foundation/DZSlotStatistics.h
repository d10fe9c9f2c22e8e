#pragma once
// The per-slot record the mediation engine fills while it tries one adapter
// after another: how long each took ("adapter_duration"), its exit code
// ("adapter_exit") and its fill status per allocation ("adapter_fill_status"),
// rendered as the texts that go into the next ad request and mediation pings.
// Lists persist through DZStatisticsCore ("dozuza_stats_" + identifier) and
// timings through DZTimingManager ("dozuza_timing_" + identifier), so a slot
// made again with the same identifier starts where the earlier run ended.
//
// Threading: use from the slot's thread; the stores below are thread-safe.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ads/foundation/DZStatisticsCore.h"
#include "ads/foundation/DZTiming.h"
#include "ads/foundation/DZTimingManager.h"

namespace ads {

class DZSlotStatistics {
public:
    static constexpr const char* kAdapterTimingName = "adapter";
    static constexpr const char* kAdapterDurationKey = "adapter_duration";
    static constexpr const char* kAdapterExitKey = "adapter_exit";
    static constexpr const char* kAdapterFillStatusKey = "adapter_fill_status";
    static constexpr const char* kFillStatusAllocationIDKey = "fill_status_allocation_id";
    static constexpr const char* kFillStatusExitKey = "fill_status_exit";
    static constexpr const char* kFillStatusDurationKey = "fill_status_duration";

    DZSlotStatistics();
    DZSlotStatistics(const DZSlotStatistics&) = delete;
    DZSlotStatistics& operator=(const DZSlotStatistics&) = delete;

    // A changed identifier is passed to both stores, which load what an
    // earlier run stored under it.
    void setIdentifier(std::string_view identifier);
    [[nodiscard]] const std::string& identifier() const { return identifier_; }

    [[nodiscard]] core::Dictionary statistics() const;

    [[nodiscard]] std::shared_ptr<DZTiming> timingNamed(std::string_view name) const;
    // Replaces any timing of that name with a new, started one.
    void startTimingNamed(std::string name, bool explicitEnd);
    void endTimingNamed(std::string_view name);

    void startTimingAdapter();
    // Records the adapter's duration and exit code; without an adapter timing
    // the duration is "0", so both lists stay aligned.
    void endTimingAdapterWithExitCode(std::int64_t exitCode);
    // Records {allocation, status, duration}; nothing for an empty allocation
    // identifier.
    void endTimingAdapterWithFillStatus(std::int64_t fillStatus, std::string_view allocationID);
    void resetTimingAdapters();
    void resetFillStatus();

    // The lists joined with ","; nullopt when the list is absent.
    [[nodiscard]] std::optional<std::string> adapterExitCodesParameter() const;
    [[nodiscard]] std::optional<std::string> adapterDurationsParameter() const;
    // "allocation.status.duration" per entry, joined with "_"; nullopt when
    // there is nothing to render.
    [[nodiscard]] std::optional<std::string> adapterFillStatusParameter() const;
    // The last entry of each given allocation, in the order given.
    [[nodiscard]] std::optional<std::string> adapterFillStatusParameterOrderedByAllocationIDs(
        const std::vector<std::string>& allocationIDs) const;

private:
    [[nodiscard]] std::optional<std::string> joinedList(const char* key) const;
    [[nodiscard]] std::vector<core::Dictionary> fillStatusEntries() const;
    [[nodiscard]] std::string adapterElapsedText() const;

    std::shared_ptr<DZStatisticsCore> statisticsCore_;
    std::shared_ptr<DZTimingManager> timingManager_;
    std::string identifier_;
};

}  // namespace ads
