#pragma once
// Macro templates of tracking and mediation URLs: a macro is a name between
// two "@" ("@gw_sessid@"), and an "@" that belongs to the text is written
// "@@". All functions change the text in place. Pure; any thread.

#include <optional>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace ads {

// Replaces every macro of that name by the replacement, taken literally
// ("$" and "\" included). Even runs of "@@" next to the macro are kept. The
// name is pattern text, so "[^@]+" stands for any name. Nothing happens
// without a name or a replacement, or when the name is not a valid pattern.
void DZStringBySubstitutingMacro(std::string& text, std::optional<std::string_view> name,
                                 std::optional<std::string_view> replacement);

// Fills the macros of the dictionary (values as their description, their
// "@" kept literally), removes all other macros, then turns "@@" into "@":
// "a@x@b@@c@y@" with {x: "1@2"} becomes "a1@2b@c".
void DZSubstituteMacros(std::string& text, const core::Dictionary& values);

void DZRemoveUnresolvedMacros(std::string& text);
void DZUnescapeMacroMarkers(std::string& text);

}  // namespace ads
