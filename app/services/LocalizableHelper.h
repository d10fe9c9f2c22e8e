#pragma once
// Holder of the language bundle in which the page titles, the feeds'
// messages and the about page's texts are looked up. The language is chosen
// once per launch by setupLanguageBundle(). Main thread.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/Bundle.h"
#include "core/UserDefaults.h"

namespace app {

class LocalizableHelper {
public:
    static LocalizableHelper& shared();

    // Chooses the language from "UserLanguage" and "AppleLanguages" and sets
    // the bundle to that language's folder, "en" when it has none.
    void setupLanguageBundle();

    [[nodiscard]] std::shared_ptr<core::Bundle> bundle() const { return bundle_; }
    // The text of key in the language bundle; the key itself when missing.
    [[nodiscard]] std::string localizedString(std::string_view key) const;

    // Only letters, digits and "-" may name a language folder.
    [[nodiscard]] static bool isSafeLanguageTag(std::string_view tag);
    // The path of the folder that a preferred language selects in bundle
    // ("zh-Hans" for every tag that begins so); nullopt when it has none of
    // its own and the helper falls back to "en".
    [[nodiscard]] static std::optional<std::string> languageFolder(std::string_view language,
                                                                   const core::Bundle& bundle);

private:
    LocalizableHelper();

    std::shared_ptr<core::UserDefaults> userDef_;
    std::shared_ptr<core::Bundle> bundle_;
};

// Shorthand for LocalizableHelper::shared().localizedString(key).
[[nodiscard]] std::string localized(std::string_view key);

}  // namespace app
