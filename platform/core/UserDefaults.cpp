#include "core/UserDefaults.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <unordered_map>

#include "core/Clock.h"
#include "core/Console.h"
#include "core/DefaultsFile.h"
#include "core/DefaultsWriter.h"
#include "core/FileManager.h"
#include "core/ProcessExit.h"

namespace core {

namespace {

// The shared stores by file path. Never destroyed: at exit every store is
// written once more by flushAtExit.
struct Registry {
    std::mutex mutex;
    std::unordered_map<std::string, std::shared_ptr<UserDefaults>> stores;
};

std::vector<std::shared_ptr<UserDefaults>> sharedStores(Registry& registry) {
    std::lock_guard lock(registry.mutex);
    std::vector<std::shared_ptr<UserDefaults>> stores;
    for (const auto& entry : registry.stores) stores.push_back(entry.second);
    return stores;
}

void flushAtExit();

Registry& registry() {
    static Registry* const shared = [] {
        auto* created = new Registry;
        // Written while every static is still alive.
        ProcessExit::atStart(flushAtExit);
        return created;
    }();
    return *shared;
}

void flushAtExit() {
    for (const auto& store : sharedStores(registry())) (void)store->synchronize();
}

std::string normalizedPath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return {};
    const auto resolved = std::filesystem::weakly_canonical(absolute, error);
    return (error ? absolute.lexically_normal() : resolved).string();
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::string upperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

// A Chinese tag always names its script, as the phone platform's are:
// traditional characters in Taiwan, Hong Kong and Macau, simplified ones
// elsewhere and when no region is given.
std::string chineseTag(const std::vector<std::string_view>& subtags) {
    size_t next = 1;
    std::string script;
    if (next < subtags.size() && subtags[next].size() == 4 &&
        std::all_of(subtags[next].begin(), subtags[next].end(), isAlpha)) {
        script = lowerCase(subtags[next]);
        script[0] = static_cast<char>(script[0] - 'a' + 'A');
        ++next;
    }
    std::string region;
    if (next < subtags.size() && (subtags[next].size() == 2 || subtags[next].size() == 3)) {
        region = upperCase(subtags[next]);
        ++next;
    }
    if (script.empty()) {
        const bool traditional = region == "TW" || region == "HK" || region == "MO";
        script = traditional ? "Hant" : "Hans";
    }
    std::string tag = "zh-" + script;
    if (!region.empty()) tag += "-" + region;
    for (; next < subtags.size(); ++next) tag.append("-").append(subtags[next]);
    return tag;
}

}  // namespace

std::string UserDefaults::languageTag(std::string_view locale) {
    locale = locale.substr(0, locale.find_first_of(".@"));
    if (locale.empty() || locale == "C" || locale == "POSIX") return "en";
    std::vector<std::string_view> subtags;
    for (size_t start = 0; start <= locale.size();) {
        size_t end = locale.find_first_of("-_", start);
        if (end == std::string_view::npos) end = locale.size();
        if (end > start) subtags.push_back(locale.substr(start, end - start));
        start = end + 1;
    }
    if (!subtags.empty() && lowerCase(subtags[0]) == "zh") return chineseTag(subtags);
    std::string tag(locale);
    for (char& c : tag) {
        if (c == '_') c = '-';
    }
    return tag;
}

namespace {

std::string utcTimestamp() {
    const auto now = static_cast<std::time_t>(Clock::current()->wallSeconds());
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

std::string parentFolder(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

}  // namespace

std::shared_ptr<UserDefaults> UserDefaults::standard() {
    return create(FileManager::folderPath(Folder::Preferences) + "/standard.defaults");
}

std::shared_ptr<UserDefaults> UserDefaults::create(const std::string& suiteNameOrPath) {
    if (suiteNameOrPath.empty() || suiteNameOrPath.back() == '/') return nullptr;
    std::string path = suiteNameOrPath;
    if (path.find('/') == std::string::npos) {
        if (path == "." || path == "..") return nullptr;
        path = FileManager::folderPath(Folder::Preferences) + "/" + path + ".defaults";
    }
    path = normalizedPath(path);
    if (path.empty() || FileManager::isDirectory(path)) return nullptr;

    Registry& shared = registry();
    std::lock_guard lock(shared.mutex);
    auto& slot = shared.stores[path];
    if (!slot) {
        slot.reset(new UserDefaults(path));
        slot->load();
    }
    return slot;
}

void UserDefaults::resetSharedInstancesForTesting() {
    Registry& shared = registry();
    for (const auto& store : sharedStores(shared)) (void)store->synchronize();
    std::unordered_map<std::string, std::shared_ptr<UserDefaults>> forgotten;
    {
        std::lock_guard lock(shared.mutex);
        forgotten.swap(shared.stores);
    }
}

std::vector<std::string> UserDefaults::systemLanguages() {
    std::vector<std::string> languages;
    const std::string list = environment("LANGUAGE");
    for (size_t start = 0; start < list.size();) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) {
            std::string tag = languageTag(std::string_view(list).substr(start, end - start));
            if (std::find(languages.begin(), languages.end(), tag) == languages.end()) {
                languages.push_back(std::move(tag));
            }
        }
        start = end + 1;
    }
    if (!languages.empty()) return languages;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::string locale = environment(name);
        if (!locale.empty()) return {languageTag(locale)};
    }
    return {"en"};
}

UserDefaults::UserDefaults(std::string path) : path_(std::move(path)) {}

UserDefaults::~UserDefaults() {
    (void)save();
}

void UserDefaults::load() {
    FileManager::removeAbandonedTemporaryFiles(path_);
    const auto contents = FileManager::readFile(path_);
    if (!contents) {
        const int number = contents.errorNumber();
        if (number != ENOENT && number != ENOTDIR) moveAside(contents.error());
        return;
    }
    std::string error;
    auto decoded = DefaultsFile::decode(contents.value(), &error);
    if (!decoded) {
        moveAside(error);
        return;
    }
    values_ = std::move(*decoded);
}

void UserDefaults::moveAside(const std::string& reason) {
    const std::string stem = path_ + ".corrupt-" + utcTimestamp();
    std::string aside = stem;
    for (int suffix = 2; FileManager::fileExists(aside); ++suffix) {
        aside = stem + "-" + std::to_string(suffix);
    }
    const auto moved = FileManager::moveItem(path_, aside);
    if (moved) {
        Console::log("UserDefaults: cannot read '" + path_ + "' (" + reason + "); moved it to '" +
                     aside + "' and started empty");
    } else {
        Console::log("UserDefaults: cannot read '" + path_ + "' (" + reason +
                     ") nor move it aside (" + moved.error() + "); started empty");
    }
}

Value UserDefaults::objectForKey(std::string_view key) const {
    {
        std::lock_guard lock(mutex_);
        if (const Value* found = values_.find(key)) return *found;
    }
    if (key == kLanguagesKey) {
        Array languages;
        for (auto& tag : systemLanguages()) languages.emplace_back(std::move(tag));
        return Value(std::move(languages));
    }
    return Value();
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
    const Value value = objectForKey(key);
    if (const std::string* text = value.string()) return *text;
    if (value.isNumber() || value.isBool()) return value.stringValue();
    return std::nullopt;
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    return objectForKey(key).intValue();
}

double UserDefaults::doubleForKey(std::string_view key) const {
    return objectForKey(key).doubleValue();
}

bool UserDefaults::boolForKey(std::string_view key) const {
    return objectForKey(key).boolValue();
}

std::optional<Data> UserDefaults::dataForKey(std::string_view key) const {
    const Value value = objectForKey(key);
    if (const Data* bytes = value.data()) return *bytes;
    return std::nullopt;
}

std::optional<Date> UserDefaults::dateForKey(std::string_view key) const {
    const Value value = objectForKey(key);
    if (const Date* date = value.date()) return *date;
    return std::nullopt;
}

std::optional<Array> UserDefaults::arrayForKey(std::string_view key) const {
    Value value = objectForKey(key);
    if (Array* array = value.array()) return std::move(*array);
    return std::nullopt;
}

std::optional<Dictionary> UserDefaults::dictionaryForKey(std::string_view key) const {
    Value value = objectForKey(key);
    if (Dictionary* dictionary = value.dictionary()) return std::move(*dictionary);
    return std::nullopt;
}

Dictionary UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    return values_;
}

void UserDefaults::setObject(std::string key, Value value) {
    {
        std::lock_guard lock(mutex_);
        if (value.isNull()) {
            if (!values_.remove(key)) return;
        } else {
            values_.set(std::move(key), std::move(value));
        }
        dirty_ = true;
    }
    changed();
}

void UserDefaults::setString(std::string key, std::string value) {
    setObject(std::move(key), Value(std::move(value)));
}

void UserDefaults::setInteger(std::string key, std::int64_t value) {
    setObject(std::move(key), Value(static_cast<long long>(value)));
}

void UserDefaults::setDouble(std::string key, double value) {
    setObject(std::move(key), Value(value));
}

void UserDefaults::setBool(std::string key, bool value) {
    setObject(std::move(key), Value(value));
}

void UserDefaults::setData(std::string key, Data value) {
    setObject(std::move(key), Value(std::move(value)));
}

void UserDefaults::setDate(std::string key, Date value) {
    setObject(std::move(key), Value(value));
}

void UserDefaults::removeObjectForKey(std::string_view key) {
    setObject(std::string(key), Value());
}

bool UserDefaults::synchronize() {
    return save();
}

void UserDefaults::changed() {
    if (saveScheduled_.exchange(true)) return;
    DefaultsWriter::schedule([weak = weak_from_this()] {
        if (const auto self = weak.lock()) {
            self->saveScheduled_ = false;
            (void)self->save();
        }
    });
}

bool UserDefaults::save() {
    std::lock_guard saving(saveMutex_);
    Dictionary snapshot;
    {
        std::lock_guard lock(mutex_);
        if (!dirty_) return true;
        snapshot = values_;
        dirty_ = false;
    }
    auto fail = [this](const std::string& message) {
        {
            std::lock_guard lock(mutex_);
            dirty_ = true;
        }
        Console::log("UserDefaults: cannot save '" + path_ + "': " + message);
        return false;
    };
    std::string error;
    const auto encoded = DefaultsFile::encode(snapshot, &error);
    if (!encoded) return fail(error);
    const auto folder = FileManager::createDirectory(parentFolder(path_), true);
    if (!folder) return fail(folder.error());
    const auto written = FileManager::writeAtomically(path_, *encoded);
    if (!written) return fail(written.error());
    return true;
}

}  // namespace core
