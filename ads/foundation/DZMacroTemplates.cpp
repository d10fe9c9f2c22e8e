#include "ads/foundation/DZMacroTemplates.h"

#include "core/Regex.h"
#include "core/StringFormat.h"

namespace ads {

namespace {

std::string replacingEvery(std::string_view text, std::string_view what, std::string_view with) {
    std::string out;
    size_t copied = 0;
    for (size_t found = text.find(what); found != std::string_view::npos;
         found = text.find(what, copied)) {
        out.append(text.substr(copied, found - copied));
        out.append(with);
        copied = found + what.size();
    }
    out.append(text.substr(copied));
    return out;
}

}  // namespace

void DZStringBySubstitutingMacro(std::string& text, std::optional<std::string_view> name,
                                 std::optional<std::string_view> replacement) {
    if (!name || !replacement) return;
    const std::string pattern = "(?<!@)((?:@@)*)@" + std::string(*name) + "(?<!@)((?:@@)*)@";
    const auto regex = core::Regex::create(pattern);
    if (!regex) return;
    text = regex->replace(text, [&](const core::RegexMatch& match) {
        return match.text(1) + std::string(*replacement) + match.text(2);
    });
}

void DZSubstituteMacros(std::string& text, const core::Dictionary& values) {
    for (const auto& [name, value] : values) {
        DZStringBySubstitutingMacro(text, name, replacingEvery(core::describe(value), "@", "@@"));
    }
    DZRemoveUnresolvedMacros(text);
    DZUnescapeMacroMarkers(text);
}

void DZRemoveUnresolvedMacros(std::string& text) {
    DZStringBySubstitutingMacro(text, "[^@]+", "");
}

void DZUnescapeMacroMarkers(std::string& text) {
    text = replacingEvery(text, "@@", "@");
}

}  // namespace ads
