#include "core/JSON.h"

#include "core/JSONParser.h"
#include "core/JSONWriter.h"

namespace core {

std::optional<Value> JSON::parse(std::string_view text, const JSONReadOptions& options,
                                 JSONError* error) {
    return JSONParser(options).parse(text, error);
}

std::optional<std::string> JSON::write(const Value& value, JSONStyle style, JSONError* error) {
    JSONWriter writer(style);
    if (!writer.write(value)) {
        if (error) *error = writer.error();
        return std::nullopt;
    }
    return writer.take();
}

}  // namespace core
