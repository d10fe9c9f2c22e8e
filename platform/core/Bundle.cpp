#include "core/Bundle.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "core/BuildLocations.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "core/JSON.h"
#include "core/UserDefaults.h"

namespace core {

namespace {

constexpr std::string_view kLocalizationSuffix = ".lproj";
constexpr int kResourceSearchLevels = 4;

std::string executablePath() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

// Whether path lies in folder or below it (both absolute, compared as written).
bool isInside(const std::filesystem::path& path, const std::filesystem::path& folder) {
    if (folder.empty()) return false;
    auto [end, rest] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    // A trailing "/" in folder leaves one empty element unmatched.
    return end == folder.end() || (std::next(end) == folder.end() && end->empty());
}

// "zh_CN" and "ZH-cn" compare alike.
std::string normalizedTag(std::string_view tag) {
    std::string result(tag);
    for (char& c : result) {
        if (c == '_') c = '-';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

std::string_view languageSubtag(std::string_view tag) {
    return tag.substr(0, tag.find('-'));
}

// The Chinese script a region or script tag implies: "zh-hans" or "zh-hant".
std::string chineseScript(std::string_view tag) {
    for (std::string_view traditional : {"zh-hant", "zh-tw", "zh-hk", "zh-mo"}) {
        if (tag.starts_with(traditional)) return "zh-hant";
    }
    return "zh-hans";
}

std::vector<std::string> findLocalizations(const std::string& path) {
    std::vector<std::string> found;
    const auto entries = FileManager::contentsOfDirectory(path);
    if (!entries) return found;
    for (const auto& name : entries.value()) {
        if (name.size() > kLocalizationSuffix.size() && name.ends_with(kLocalizationSuffix) &&
            FileManager::isDirectory(path + "/" + name)) {
            found.push_back(name.substr(0, name.size() - kLocalizationSuffix.size()));
        }
    }
    return found;
}

Value readInfo(const std::string& path) {
    const std::string file = path + "/Info.json";
    if (!FileManager::fileExists(file)) return Value(Dictionary());
    const auto text = FileManager::readFile(file);
    if (!text) {
        Console::log("Bundle: " + text.error());
        return Value(Dictionary());
    }
    JSONError error;
    auto info = JSON::parse(text.value(), {}, &error);
    if (!info || !info->isDictionary()) {
        Console::log("Bundle: '" + file + "' is not a JSON dictionary" +
                     (info ? std::string() : " (" + error.message + ")"));
        return Value(Dictionary());
    }
    return std::move(*info);
}

}  // namespace

Bundle::Bundle(std::string path)
    : path_(std::move(path)), localizations_(findLocalizations(path_)), info_(readInfo(path_)) {}

std::shared_ptr<Bundle> Bundle::create(const std::string& path) {
    if (!FileManager::isDirectory(path)) return nullptr;
    return std::shared_ptr<Bundle>(new Bundle(path));
}

std::string Bundle::locateResources(const std::string& executablePath) {
    const std::filesystem::path executable(executablePath);
    const std::filesystem::path folder = executable.parent_path();
    if (isInside(executable, BuildLocations::kBuildPath) &&
        FileManager::isDirectory(BuildLocations::kResourcesPath)) {
        return BuildLocations::kResourcesPath;
    }
    std::filesystem::path candidate = folder;
    for (int level = 0; level < kResourceSearchLevels; ++level) {
        for (const char* relative : {"resources", "share/vantor/resources"}) {
            const auto resources = (candidate / relative).string();
            if (FileManager::isDirectory(resources)) return resources;
        }
        if (candidate.empty() || candidate == candidate.root_path()) break;
        candidate = candidate.parent_path();
    }
    return (folder / "resources").string();
}

std::string Bundle::mainResourcesPath() {
    const char* configured = std::getenv("VANTOR_RESOURCES");
    return configured && *configured ? configured : locateResources(executablePath());
}

std::string Bundle::executableFolder() {
    return std::filesystem::path(executablePath()).parent_path().string();
}

bool Bundle::runsFromBuildFolder() {
    return isInside(executablePath(), BuildLocations::kBuildPath);
}

std::shared_ptr<Bundle> Bundle::main() {
    struct MainBundle {
        std::mutex mutex;
        std::shared_ptr<Bundle> bundle;
    };
    static MainBundle* const shared = new MainBundle;
    const std::string path = mainResourcesPath();
    std::lock_guard lock(shared->mutex);
    if (!shared->bundle || shared->bundle->path_ != path) {
        if (!FileManager::isDirectory(path)) {
            Console::log("Bundle: no resources folder at '" + path + "'");
        }
        shared->bundle.reset(new Bundle(path));
    }
    return shared->bundle;
}

std::string Bundle::matchLocalization(std::string_view language) const {
    const std::string wanted = normalizedTag(language);
    if (wanted.empty()) return {};
    auto findWhere = [this](auto&& matches) -> std::string {
        const auto found =
            std::find_if(localizations_.begin(), localizations_.end(),
                         [&](const std::string& name) { return matches(normalizedTag(name)); });
        return found == localizations_.end() ? std::string() : *found;
    };
    if (auto exact = findWhere([&](const std::string& name) { return name == wanted; });
        !exact.empty()) {
        return exact;
    }
    const std::string_view subtag = languageSubtag(wanted);
    if (subtag == "zh") {
        const std::string script = chineseScript(wanted);
        if (auto found = findWhere([&](const std::string& name) { return name == script; });
            !found.empty()) {
            return found;
        }
    }
    if (auto base = findWhere([&](const std::string& name) { return name == subtag; });
        !base.empty()) {
        return base;
    }
    return findWhere([&](const std::string& name) { return languageSubtag(name) == subtag; });
}

std::string Bundle::preferredLocalization() const {
    if (localizations_.empty()) return {};
    const auto languages = UserDefaults::standard()->arrayForKey(UserDefaults::kLanguagesKey);
    for (const Value& language : languages.value_or(Array())) {
        if (const std::string* tag = language.string()) {
            if (auto match = matchLocalization(*tag); !match.empty()) return match;
        }
    }
    const std::string* region = info_["CFBundleDevelopmentRegion"].string();
    return matchLocalization(region ? *region : "en");
}

std::optional<std::string> Bundle::pathForResource(std::string_view name, std::string_view type,
                                                   std::string_view subdirectory,
                                                   std::string_view localization) const {
    if (name.empty()) return std::nullopt;
    if (type.starts_with('.')) type.remove_prefix(1);
    std::string file(name);
    if (!type.empty()) file.append(".").append(type);
    std::string folder = path_;
    if (!subdirectory.empty()) folder.append("/").append(subdirectory);

    if (std::string path = folder + "/" + file; FileManager::fileExists(path)) return path;
    const std::string language =
        localization.empty() ? preferredLocalization() : matchLocalization(localization);
    if (language.empty()) return std::nullopt;
    std::string path = folder + "/" + language + std::string(kLocalizationSuffix) + "/" + file;
    if (FileManager::fileExists(path)) return path;
    return std::nullopt;
}

std::string Bundle::localizedString(std::string_view key, std::string_view defaultValue,
                                    std::string_view table, std::string_view localization) const {
    const std::string file = std::string(table.empty() ? kDefaultTable : table).append(".strings");
    const std::string language =
        localization.empty() ? preferredLocalization() : matchLocalization(localization);
    std::vector<std::string> folders;
    if (!language.empty()) {
        folders.push_back(path_ + "/" + language + std::string(kLocalizationSuffix));
    }
    folders.push_back(path_);
    for (const auto& folder : folders) {
        if (const auto strings = this->table(folder + "/" + file)) {
            if (const std::string* value = strings->find(key)) return *value;
        }
    }
    return std::string(defaultValue.empty() ? key : defaultValue);
}

const Value& Bundle::objectForInfoDictionaryKey(std::string_view key) const {
    return info_[key];
}

std::shared_ptr<const StringTable> Bundle::table(const std::string& path) const {
    std::lock_guard lock(mutex_);
    if (const auto cached = tables_.find(path); cached != tables_.end()) return cached->second;
    std::shared_ptr<const StringTable> loaded;
    if (FileManager::fileExists(path)) {
        StringTableError error;
        if (auto parsed = StringTable::load(path, &error)) {
            loaded = std::make_shared<const StringTable>(std::move(*parsed));
        } else {
            Console::log("Bundle: cannot use the string table " + error.message);
        }
    }
    tables_.emplace(path, loaded);
    return loaded;
}

}  // namespace core
