#pragma once
// A persistent key/value store of core::Value, one file per store.
//
// standard() is the app's store in the preferences folder; create() opens a
// suite by name (a file beside the standard one) or any store by file path.
// Both answer one shared instance per file for the life of the process.
//
// Every method is thread-safe. A change is kept in memory at once and written
// soon after by a background thread, coalescing bursts of changes into one
// write; synchronize() writes on the caller's thread and reports the result.
// Writes are atomic, so a crash leaves the old or the new file. A file that
// cannot be read is moved aside to "<file>.corrupt-<time>", reported on the
// console, and the store starts empty.
//
// Beneath the store lies a read-only global domain: "AppleLanguages" answers
// the user's languages from the locale environment (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG), read anew on each call, unless the store has its own.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Value.h"

namespace core {

class UserDefaults : public std::enable_shared_from_this<UserDefaults> {
public:
    static constexpr std::string_view kLanguagesKey = "AppleLanguages";

    static std::shared_ptr<UserDefaults> standard();
    // A suite name ("ads", no "/") or a file path; nullptr for an empty or
    // unusable name.
    static std::shared_ptr<UserDefaults> create(const std::string& suiteNameOrPath);
    // Writes every shared store and forgets them, so the next create() reads
    // its file again. Objects still referenced elsewhere stay usable.
    static void resetSharedInstancesForTesting();
    // Language tags ("zh-Hans-CN", "en-GB") from the locale environment;
    // never empty.
    [[nodiscard]] static std::vector<std::string> systemLanguages();
    // The language tag the phone platform would give for a locale name or
    // tag: "en_GB.UTF-8" is "en-GB", "C" and "POSIX" are "en", and Chinese
    // always names its script: "zh_CN" is "zh-Hans-CN", a bare "zh" is
    // "zh-Hans", "zh_TW", "zh_HK" and "zh_MO" are "zh-Hant-TW", "zh-Hant-HK"
    // and "zh-Hant-MO", any other region is simplified.
    [[nodiscard]] static std::string languageTag(std::string_view locale);

    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    [[nodiscard]] const std::string& filePath() const { return path_; }

    // Null when absent.
    [[nodiscard]] Value objectForKey(std::string_view key) const;
    // Text, or a number or bool in its text form ("42", "0.5", "1"); nullopt
    // for other kinds.
    [[nodiscard]] std::optional<std::string> stringForKey(std::string_view key) const;
    [[nodiscard]] std::int64_t integerForKey(std::string_view key) const;
    [[nodiscard]] double doubleForKey(std::string_view key) const;
    [[nodiscard]] bool boolForKey(std::string_view key) const;
    // These answer only values of their own kind.
    [[nodiscard]] std::optional<Data> dataForKey(std::string_view key) const;
    [[nodiscard]] std::optional<Date> dateForKey(std::string_view key) const;
    [[nodiscard]] std::optional<Array> arrayForKey(std::string_view key) const;
    [[nodiscard]] std::optional<Dictionary> dictionaryForKey(std::string_view key) const;
    // The store's own entries, in the order they were first set.
    [[nodiscard]] Dictionary dictionaryRepresentation() const;

    // A null value removes the key.
    void setObject(std::string key, Value value);
    void setString(std::string key, std::string value);
    void setInteger(std::string key, std::int64_t value);
    void setDouble(std::string key, double value);
    void setBool(std::string key, bool value);
    void setData(std::string key, Data value);
    void setDate(std::string key, Date value);
    void removeObjectForKey(std::string_view key);

    // Writes pending changes now. False when the file could not be written.
    [[nodiscard]] bool synchronize();

private:
    explicit UserDefaults(std::string path);

    void load();
    void moveAside(const std::string& reason);
    void changed();
    bool save();

    const std::string path_;
    mutable std::mutex mutex_;
    Dictionary values_;
    bool dirty_ = false;
    // Serialises writes of this store's file.
    std::mutex saveMutex_;
    std::atomic<bool> saveScheduled_{false};
};

}  // namespace core
