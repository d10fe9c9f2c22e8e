#include "core/JSONParser.h"

#include <simdjson.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/JSONScanner.h"

namespace core {

namespace {

// Texts above this size get a parser of their own, so that no thread keeps
// the memory of one huge document for the rest of its life.
constexpr size_t kRetainedTextSize = 8u << 20;

class PaddedBuffer {
public:
    const char* fill(std::string_view text) {
        const size_t needed = text.size() + simdjson::SIMDJSON_PADDING;
        if (needed > capacity_) {
            capacity_ = std::max(needed, capacity_ * 2);
            bytes_ = std::make_unique<char[]>(capacity_);
        }
        if (!text.empty()) std::memcpy(bytes_.get(), text.data(), text.size());
        std::memset(bytes_.get() + text.size(), 0, simdjson::SIMDJSON_PADDING);
        return bytes_.get();
    }

private:
    std::unique_ptr<char[]> bytes_;
    size_t capacity_ = 0;
};

struct ThreadParser {
    simdjson::dom::parser parser;
    PaddedBuffer buffer;
};

Value scalarValue(simdjson::dom::element element) {
    using Type = simdjson::dom::element_type;
    switch (element.type()) {
        case Type::INT64:
            return Value(element.get_int64().value_unsafe());
        case Type::UINT64:
            return Value(element.get_uint64().value_unsafe());
        case Type::DOUBLE:
            return Value(element.get_double().value_unsafe());
        case Type::STRING:
            return Value(element.get_string().value_unsafe());
        case Type::BOOL:
            return Value(element.get_bool().value_unsafe());
        default:
            return Value();
    }
}

// Builds the Value of a parsed document with a stack of open containers
// instead of recursion, so that deep documents cannot exhaust the thread's
// stack.
class ValueBuilder {
public:
    explicit ValueBuilder(size_t maxDepth) : maxDepth_(maxDepth) {}

    // nullopt when the document nests deeper than maxDepth.
    std::optional<Value> build(simdjson::dom::element root) {
        if (!root.is_array() && !root.is_object()) return scalarValue(root);
        if (!open(root)) return std::nullopt;
        while (true) {
            Frame& top = open_.back();
            std::string_view key;
            std::optional<simdjson::dom::element> child;
            if (top.isObject && top.nextField != top.endField) {
                const simdjson::dom::key_value_pair field = *top.nextField;
                ++top.nextField;
                key = field.key;
                child = field.value;
            } else if (!top.isObject && top.nextElement != top.endElement) {
                child = *top.nextElement;
                ++top.nextElement;
            }
            if (!child) {
                Value finished =
                    top.isObject ? Value(std::move(top.dictionary)) : Value(std::move(top.array));
                open_.pop_back();
                if (open_.empty()) return finished;
                Frame& parent = open_.back();
                add(parent, parent.childKey, std::move(finished));
            } else if (child->is_array() || child->is_object()) {
                top.childKey = key;
                if (!open(*child)) return std::nullopt;
            } else {
                add(top, key, scalarValue(*child));
            }
        }
    }

private:
    struct Frame {
        bool isObject = false;
        Array array;
        Dictionary dictionary;
        simdjson::dom::array::iterator nextElement;
        simdjson::dom::array::iterator endElement;
        simdjson::dom::object::iterator nextField;
        simdjson::dom::object::iterator endField;
        std::string_view childKey;  // key of the container being built inside
    };

    bool open(simdjson::dom::element container) {
        if (open_.size() >= maxDepth_) return false;
        Frame& frame = open_.emplace_back();
        if (container.is_object()) {
            const simdjson::dom::object fields = container.get_object().value_unsafe();
            frame.isObject = true;
            frame.dictionary.reserve(fields.size());
            frame.nextField = fields.begin();
            frame.endField = fields.end();
        } else {
            const simdjson::dom::array elements = container.get_array().value_unsafe();
            frame.array.reserve(elements.size());
            frame.nextElement = elements.begin();
            frame.endElement = elements.end();
        }
        return true;
    }

    static void add(Frame& frame, std::string_view key, Value value) {
        if (frame.isObject) {
            frame.dictionary.set(std::string(key), std::move(value));
        } else {
            frame.array.push_back(std::move(value));
        }
    }

    size_t maxDepth_;
    std::vector<Frame> open_;
};

// The text with ".0" after each of the given integer literals, which makes
// the fast parser read them as doubles.
std::string widenedToDoubles(std::string_view text, const std::vector<size_t>& integerEnds) {
    std::string widened;
    widened.reserve(text.size() + 2 * integerEnds.size());
    size_t copied = 0;
    for (size_t end : integerEnds) {
        widened.append(text.substr(copied, end - copied));
        widened += ".0";
        copied = end;
    }
    widened.append(text.substr(copied));
    return widened;
}

}  // namespace

JSONParser::JSONParser(const JSONReadOptions& options) : options_(options) {
    options_.maxDepth = std::min(options_.maxDepth, JSON::kMaxSupportedDepth);
}

std::optional<Value> JSONParser::parse(std::string_view text, JSONError* error) const {
    thread_local ThreadParser threadParser;
    std::unique_ptr<ThreadParser> ownParser;
    ThreadParser* reader = &threadParser;
    if (text.size() > kRetainedTextSize) {
        ownParser = std::make_unique<ThreadParser>();
        reader = ownParser.get();
    }

    // simdjson counts the document itself as one level more than we do and
    // lets empty containers through without counting them; the builder
    // enforces the exact limit.
    const size_t depth = options_.maxDepth + 1;
    if (reader->parser.max_depth() != depth) {
        const size_t capacity = std::max({reader->parser.capacity(), text.size(), size_t{64}});
        if (reader->parser.allocate(capacity, depth) != simdjson::SUCCESS) {
            if (error) *error = JSONError{"Out of memory for the JSON parser", 0};
            return std::nullopt;
        }
    }

    const char* padded = reader->buffer.fill(text);
    const auto result = reader->parser.parse(padded, text.size(), false);
    if (result.error() != simdjson::SUCCESS) {
        return explainFailure(text, simdjson::error_message(result.error()), error);
    }
    const simdjson::dom::element root = result.value_unsafe();
    if (!options_.allowFragments && !root.is_array() && !root.is_object()) {
        return explainFailure(text, nullptr, error);
    }
    auto value = ValueBuilder(options_.maxDepth).build(root);
    if (!value) return explainFailure(text, nullptr, error);
    return value;
}

std::optional<Value> JSONParser::explainFailure(std::string_view text, const char* parserMessage,
                                                JSONError* error) const {
    JSONScanner scanner(text, options_);
    if (auto fault = scanner.firstError()) {
        if (error) *error = std::move(*fault);
        return std::nullopt;
    }
    if (!scanner.wideIntegerEnds().empty()) {
        return parse(widenedToDoubles(text, scanner.wideIntegerEnds()), error);
    }
    if (error) {
        *error = JSONError{
            std::string("JSON text refused: ") + (parserMessage ? parserMessage : "unknown fault"),
            0};
    }
    return std::nullopt;
}

}  // namespace core
