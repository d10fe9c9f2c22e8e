#include "store/ShareOutbox.h"

#include <algorithm>
#include <cstdio>

#include "core/FileManager.h"
#include "core/JSON.h"
#include "core/Value.h"

namespace store {

namespace {

constexpr std::string_view kPrefix = "share-";
constexpr std::string_view kRecordExtension = ".json";

// The number of a "share-<digits>.json" record name, or none.
std::optional<long> recordNumber(const std::string& name) {
    if (name.size() <= kPrefix.size() + kRecordExtension.size() || !name.starts_with(kPrefix) ||
        !name.ends_with(kRecordExtension))
        return std::nullopt;
    const std::string digits =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - kRecordExtension.size());
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stol(digits);
}

// One past the highest number of any record or image already there, so
// that images left by a share whose record was never written are not
// overwritten.
long nextNumber(const std::string& folder) {
    long last = 0;
    const auto names = core::FileManager::contentsOfDirectory(folder);
    if (!names) return 1;
    for (const auto& name : names.value()) {
        if (!name.starts_with(kPrefix)) continue;
        const size_t end = name.find_first_not_of("0123456789", kPrefix.size());
        const std::string digits = name.substr(kPrefix.size(), end - kPrefix.size());
        if (!digits.empty() && digits.size() <= 9) last = std::max(last, std::stol(digits));
    }
    return last + 1;
}

std::string numbered(long number) {
    char text[32];  // "share-" and any long, with its sign
    std::snprintf(text, sizeof text, "share-%04ld", number);
    return text;
}

}  // namespace

std::string ShareOutbox::folderPath() {
    return core::FileManager::homeDirectory() + "/outbox";
}

std::vector<std::string> ShareOutbox::recordPaths() {
    const std::string folder = folderPath();
    const auto names = core::FileManager::contentsOfDirectory(folder);
    std::vector<std::string> paths;
    if (!names) return paths;
    for (const auto& name : names.value())
        if (recordNumber(name)) paths.push_back(folder + "/" + name);
    std::sort(paths.begin(), paths.end());
    return paths;
}

core::FileResult<std::string> ShareOutbox::write(const std::vector<ActivityItem>& items,
                                                 const std::vector<ActivityType>& excluded,
                                                 double wallSeconds) {
    const std::string folder = folderPath();
    if (auto made = core::FileManager::createDirectory(folder, true); !made)
        return core::FileResult<std::string>::failure(made);
    const std::string base = numbered(nextNumber(folder));

    core::Array records;
    for (size_t i = 0; i < items.size(); ++i) {
        core::Dictionary record;
        if (const auto* text = std::get_if<std::string>(&items[i])) {
            record.set("type", "text");
            record.set("text", *text);
            records.emplace_back(std::move(record));
            continue;
        }
        record.set("type", "image");
        if (const auto& image = std::get<gfx::ImagePtr>(items[i])) {
            const std::string file = base + "-" + std::to_string(i + 1) + ".png";
            const auto bytes = image->encodePng();
            if (bytes.empty())
                return core::FileResult<std::string>::failure("cannot encode " + file + " as PNG");
            if (auto written = core::FileManager::writeAtomically(folder + "/" + file, bytes);
                !written)
                return core::FileResult<std::string>::failure(written);
            record.set("file", file);
            record.set("width", image->pixelWidth());
            record.set("height", image->pixelHeight());
        }
        records.emplace_back(std::move(record));
    }

    core::Array types;
    for (const auto& type : excluded) types.emplace_back(type);
    core::Dictionary share;
    share.set("time", wallSeconds);
    share.set("excludedActivityTypes", std::move(types));
    share.set("items", std::move(records));
    const auto json = core::JSON::write(core::Value(std::move(share)), core::JSONStyle::Pretty);
    if (!json) return core::FileResult<std::string>::failure("cannot write the share record");
    const std::string path = folder + "/" + base + std::string(kRecordExtension);
    if (auto written = core::FileManager::writeAtomically(path, *json); !written)
        return core::FileResult<std::string>::failure(written);
    return path;
}

}  // namespace store
