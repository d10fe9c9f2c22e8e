#pragma once
// Text placed into a script that native code builds for a page. Pure; any
// thread.

#include <string>
#include <string_view>

namespace ads {

// The text as a single-quoted JavaScript string literal, quotes included:
// quotes, backslashes, line and paragraph separators and other control
// characters are escaped, everything else stands as it is ("ab" gives
// 'ab'), so no text can end the literal.
[[nodiscard]] std::string DZJavaScriptStringLiteral(std::string_view text);

}  // namespace ads
