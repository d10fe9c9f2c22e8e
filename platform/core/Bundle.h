#pragma once
// A folder of resources: files looked up by name and type, per-language
// "<lang>.lproj" folders, string tables and the Info.json dictionary.
//
// Bundle::main() is the app's resources folder: $VANTOR_RESOURCES when set;
// for an executable inside the build folder that made it, the resources of
// the source tree it was built from; else (an installed tree) the first
// "resources" or "share/vantor/resources" folder found beside the
// executable or in one of its parent folders. A bundle made for an ".lproj"
// folder itself answers the strings of that one language.
//
// The user's language comes from the standard UserDefaults ("AppleLanguages")
// at each call, matched against the localizations present.
//
// Thread-safe: parsed string tables are cached behind a mutex.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/StringTable.h"
#include "core/Value.h"

namespace core {

class Bundle {
public:
    static constexpr std::string_view kDefaultTable = "Localizable";

    // Never nullptr: without a resources folder it answers no resources.
    static std::shared_ptr<Bundle> main();
    // nullptr when path is not a folder.
    static std::shared_ptr<Bundle> create(const std::string& path);
    // Where main() looks for an executable at executablePath: the build's
    // resources for one inside the build folder, else its "resources" or
    // "share/vantor/resources" sibling or the nearest one up to three
    // folders above.
    [[nodiscard]] static std::string locateResources(const std::string& executablePath);
    // $VANTOR_RESOURCES, else locateResources() of this executable.
    [[nodiscard]] static std::string mainResourcesPath();
    // The folder of this executable, and whether it lies in the build folder
    // that made it (else it runs from an installed tree).
    [[nodiscard]] static std::string executableFolder();
    [[nodiscard]] static bool runsFromBuildFolder();

    [[nodiscard]] const std::string& resourcePath() const { return path_; }

    // "<name>.<type>" (or name alone when type is empty) inside subdirectory:
    // first at its top, then in the given localization's folder, or the
    // preferred one's when localization is empty.
    [[nodiscard]] std::optional<std::string> pathForResource(
        std::string_view name, std::string_view type, std::string_view subdirectory = "",
        std::string_view localization = "") const;

    // Names of the ".lproj" folders present ("en", "zh-Hans"), sorted.
    [[nodiscard]] const std::vector<std::string>& localizations() const { return localizations_; }
    // The localization strings and resources come from: the best match for
    // the user's languages, else the development region; empty when none fits.
    [[nodiscard]] std::string preferredLocalization() const;

    // The value of key in "<lang>.lproj/<table>.strings", else in the bundle's
    // own "<table>.strings"; when absent, defaultValue, or the key itself when
    // defaultValue is empty. An empty table means "Localizable".
    [[nodiscard]] std::string localizedString(std::string_view key,
                                              std::string_view defaultValue = "",
                                              std::string_view table = "",
                                              std::string_view localization = "") const;

    // Info.json as a dictionary; empty when absent or unreadable.
    [[nodiscard]] const Value& infoDictionary() const { return info_; }
    [[nodiscard]] const Value& objectForInfoDictionaryKey(std::string_view key) const;

private:
    explicit Bundle(std::string path);

    [[nodiscard]] std::string matchLocalization(std::string_view language) const;
    [[nodiscard]] std::shared_ptr<const StringTable> table(const std::string& path) const;

    const std::string path_;
    std::vector<std::string> localizations_;
    Value info_;
    mutable std::mutex mutex_;
    mutable std::unordered_map<std::string, std::shared_ptr<const StringTable>> tables_;
};

}  // namespace core
