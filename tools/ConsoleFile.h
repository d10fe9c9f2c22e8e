#pragma once
// Sends the app's console lines (core::Console) to a file instead of the
// terminal, so that a run shows only the tool's own lines. The file stays
// the console's for the rest of the process: threads may log until exit.

#include <optional>
#include <string>

namespace tools {

// Appends every console line to the file at path from now on; the reason
// when the file cannot be opened (the console is then left as it was).
[[nodiscard]] std::optional<std::string> sendConsoleToFile(const std::string& path);

}  // namespace tools
