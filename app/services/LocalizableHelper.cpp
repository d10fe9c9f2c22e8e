#include "app/services/LocalizableHelper.h"

#include <cctype>

namespace app {

namespace {
constexpr std::string_view kUserLanguageKey = "UserLanguage";

bool beginsWithHans(std::string_view tag) { return tag.rfind("zh-Hans", 0) == 0; }
}  // namespace

LocalizableHelper& LocalizableHelper::shared() {
    static LocalizableHelper* helper = new LocalizableHelper();
    return *helper;
}

LocalizableHelper::LocalizableHelper() : userDef_(core::UserDefaults::standard()) {}

bool LocalizableHelper::isSafeLanguageTag(std::string_view tag) {
    if (tag.empty()) return false;
    for (unsigned char c : tag)
        if (!std::isalnum(c) && c != '-') return false;
    return true;
}

std::optional<std::string> LocalizableHelper::languageFolder(std::string_view language,
                                                            const core::Bundle& bundle) {
    const std::string_view name = beginsWithHans(language) ? "zh-Hans" : language;
    // A stored tag names a folder: never let it climb out of the bundle.
    if (!isSafeLanguageTag(name)) return std::nullopt;
    return bundle.pathForResource(name, "lproj");
}

void LocalizableHelper::setupLanguageBundle() {
    std::string candidate = userDef_->stringForKey(kUserLanguageKey).value_or("");

    const core::Value languages = userDef_->objectForKey(core::UserDefaults::kLanguagesKey);
    if (languages.isArray() && languages.size() > 0 && languages[size_t{0}].isString()) {
        const std::string first = *languages[size_t{0}].string();
        candidate = beginsWithHans(first) ? "zh-Hans" : first;
        userDef_->setString(std::string(kUserLanguageKey), first);
        (void)userDef_->synchronize();
    }

    const std::shared_ptr<core::Bundle> main = core::Bundle::main();
    std::optional<std::string> path = languageFolder(candidate, *main);
    if (!path) path = main->pathForResource("en", "lproj");
    if (path) bundle_ = core::Bundle::create(*path);
    if (!bundle_) bundle_ = main;
}

std::string LocalizableHelper::localizedString(std::string_view key) const {
    if (!bundle_) return std::string(key);
    return bundle_->localizedString(key);
}

std::string localized(std::string_view key) { return LocalizableHelper::shared().localizedString(key); }

}  // namespace app
