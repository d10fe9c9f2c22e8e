#include "ads/foundation/DZSlotStatistics.h"

#include <map>
#include <utility>

#include "ads/foundation/DZValueHelpers.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

// A list element as it goes into a parameter: texts as they are, numbers the
// way the SDK writes them ("30", "0.123457"), flags as "1" or "0".
std::string parameterText(const core::Value& value) {
    if (const std::string* text = value.string()) return *text;
    if (value.isDouble()) return DZCompactDecimalString(value.doubleValue());
    if (value.isBool()) return DZStringFromBool(value.boolValue());
    return core::describe(value);
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) text += separator;
        text += parts[i];
    }
    return text;
}

std::optional<std::string> renderFillStatus(const std::vector<core::Dictionary>& entries) {
    if (entries.empty()) return std::nullopt;
    std::vector<std::string> parts;
    parts.reserve(entries.size());
    for (const core::Dictionary& entry : entries) {
        parts.push_back(core::format(
            "%@.%@.%@", parameterText(entry[DZSlotStatistics::kFillStatusAllocationIDKey]),
            parameterText(entry[DZSlotStatistics::kFillStatusExitKey]),
            parameterText(entry[DZSlotStatistics::kFillStatusDurationKey])));
    }
    return joined(parts, "_");
}

}  // namespace

DZSlotStatistics::DZSlotStatistics()
    : statisticsCore_(DZStatisticsCore::create()), timingManager_(DZTimingManager::create()) {}

void DZSlotStatistics::setIdentifier(std::string_view identifier) {
    if (identifier == identifier_) return;
    identifier_ = std::string(identifier);
    statisticsCore_->setIdentifier(identifier_);
    timingManager_->setIdentifier(identifier_);
}

core::Dictionary DZSlotStatistics::statistics() const {
    return statisticsCore_->statistics();
}

std::shared_ptr<DZTiming> DZSlotStatistics::timingNamed(std::string_view name) const {
    return timingManager_->timingForCategory(name);
}

void DZSlotStatistics::startTimingNamed(std::string name, bool explicitEnd) {
    // Started before it is added, so the save that adding makes holds the start.
    auto timing = std::make_shared<DZTiming>(name);
    timing->setExplicitEnd(explicitEnd);
    timing->start();
    timingManager_->removeTimingForCategory(name);
    timingManager_->addTiming(std::move(timing));
}

void DZSlotStatistics::endTimingNamed(std::string_view name) {
    if (const auto timing = timingNamed(name)) timing->end();
}

void DZSlotStatistics::startTimingAdapter() {
    startTimingNamed(kAdapterTimingName, true);
}

std::string DZSlotStatistics::adapterElapsedText() const {
    const auto timing = timingNamed(kAdapterTimingName);
    return timing ? timing->elapsedMillisecondsString() : "0";
}

void DZSlotStatistics::endTimingAdapterWithExitCode(std::int64_t exitCode) {
    endTimingNamed(kAdapterTimingName);
    statisticsCore_->appendString(adapterElapsedText(), kAdapterDurationKey);
    statisticsCore_->appendString(core::format("%ld", exitCode), kAdapterExitKey);
}

void DZSlotStatistics::endTimingAdapterWithFillStatus(std::int64_t fillStatus,
                                                      std::string_view allocationID) {
    endTimingNamed(kAdapterTimingName);
    if (allocationID.empty()) return;
    statisticsCore_->appendDictionary(
        core::Dictionary{
            {kFillStatusAllocationIDKey, core::Value(allocationID)},
            {kFillStatusExitKey, core::Value(core::format("%ld", fillStatus))},
            {kFillStatusDurationKey, core::Value(adapterElapsedText())},
        },
        kAdapterFillStatusKey);
}

void DZSlotStatistics::resetTimingAdapters() {
    statisticsCore_->removeObjectForKey(kAdapterExitKey);
    statisticsCore_->removeObjectForKey(kAdapterDurationKey);
}

void DZSlotStatistics::resetFillStatus() {
    statisticsCore_->removeObjectForKey(kAdapterFillStatusKey);
}

std::optional<std::string> DZSlotStatistics::joinedList(const char* key) const {
    const std::optional<core::Array> list = statisticsCore_->arrayForKey(key);
    if (!list) return std::nullopt;
    std::vector<std::string> parts;
    parts.reserve(list->size());
    for (const core::Value& item : *list) parts.push_back(parameterText(item));
    return joined(parts, ",");
}

std::optional<std::string> DZSlotStatistics::adapterExitCodesParameter() const {
    return joinedList(kAdapterExitKey);
}

std::optional<std::string> DZSlotStatistics::adapterDurationsParameter() const {
    return joinedList(kAdapterDurationKey);
}

std::vector<core::Dictionary> DZSlotStatistics::fillStatusEntries() const {
    std::vector<core::Dictionary> entries;
    const std::optional<core::Array> list = statisticsCore_->arrayForKey(kAdapterFillStatusKey);
    if (!list) return entries;
    for (const core::Value& item : *list) {
        const core::Dictionary* entry = item.dictionary();
        // Stored entries missing a part are not rendered as "(null)".
        if (!entry || !entry->contains(kFillStatusAllocationIDKey) ||
            !entry->contains(kFillStatusExitKey) || !entry->contains(kFillStatusDurationKey)) {
            continue;
        }
        entries.push_back(*entry);
    }
    return entries;
}

std::optional<std::string> DZSlotStatistics::adapterFillStatusParameter() const {
    return renderFillStatus(fillStatusEntries());
}

std::optional<std::string> DZSlotStatistics::adapterFillStatusParameterOrderedByAllocationIDs(
    const std::vector<std::string>& allocationIDs) const {
    std::map<std::string, core::Dictionary, std::less<>> byAllocation;
    for (core::Dictionary& entry : fillStatusEntries()) {
        std::string allocation = parameterText(entry[kFillStatusAllocationIDKey]);
        byAllocation.insert_or_assign(std::move(allocation), std::move(entry));
    }
    std::vector<core::Dictionary> chosen;
    for (const std::string& allocation : allocationIDs) {
        if (const auto found = byAllocation.find(allocation); found != byAllocation.end()) {
            chosen.push_back(found->second);
        }
    }
    return renderFillStatus(chosen);
}

}  // namespace ads
