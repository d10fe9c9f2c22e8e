#pragma once
// The text of a call of the page's global "DUZO_ReceiveMessage" with a
// message name and an optional JSON argument: how native code notifies a
// page. Pure; any thread.

#include <optional>
#include <string>
#include <string_view>

#include "core/Value.h"

namespace ads {

// "DUZO_ReceiveMessage('<name>', <compact JSON>);" with an argument (a
// dictionary or an array) that JSON can hold, else
// "DUZO_ReceiveMessage('<name>');". The name is written as a JavaScript
// string literal: a plain identifier stands as it is, while quotes,
// backslashes, line breaks and other control characters are escaped, so no
// name can end the literal or the call.
[[nodiscard]] std::string DZJavaScriptMessageCall(std::string_view name,
                                                  const std::optional<core::Value>& argument);

}  // namespace ads
