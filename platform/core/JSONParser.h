#pragma once
// Reads JSON text into a core::Value: simdjson's DOM parser does the reading,
// and a text it refuses goes to JSONScanner for a message and byte position.
// Each thread keeps its own simdjson parser and padded buffer for texts up to
// a few megabytes, so parsing is safe on any thread and reuses memory.

#include <optional>
#include <string_view>

#include "core/JSON.h"

namespace core {

class JSONParser {
public:
    explicit JSONParser(const JSONReadOptions& options);

    [[nodiscard]] std::optional<Value> parse(std::string_view text, JSONError* error) const;

private:
    [[nodiscard]] std::optional<Value> explainFailure(std::string_view text,
                                                      const char* parserMessage,
                                                      JSONError* error) const;

    JSONReadOptions options_;
};

}  // namespace core
