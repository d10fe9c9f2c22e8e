#pragma once
// A duration the server set as a constant in the user defaults, in seconds.
// Servers send constants as text; a value that reads as no finite number of
// seconds from 0 to maximum counts as absent, so a bad constant can neither
// spin a timer nor overflow a delay. Any thread.

#include <optional>
#include <string_view>

namespace ads {

// The constant's leading decimal number; nullopt when the key is absent,
// holds empty text, or reads as a number that is not finite, negative or
// above maximum.
[[nodiscard]] std::optional<double> DZStoredSeconds(std::string_view key, double maximum);

}  // namespace ads
