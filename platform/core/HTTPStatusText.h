#pragma once
// The platform's short, lower-case phrase for an HTTP status code, as error
// messages show it ("not found" for 404). Codes without a phrase of their own
// get the phrase of their class ("client error" for 499); codes outside
// 100...599 get "unknown status". Pure; any thread.

#include <string>

namespace core {

[[nodiscard]] std::string localizedStringForHTTPStatus(long statusCode);

}  // namespace core
