#include "core/JSONParser.h"

#include <simdjson.h>

#include <algorithm>
#include <cstring>
#include <iterator>
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
// stack. A container is built in place inside its parent (whose room was
// reserved at its full size, so nothing moves while it fills), and each
// thread keeps its stack from one document to the next.
class ValueBuilder {
public:
    // nullopt when the document nests deeper than maxDepth.
    static std::optional<Value> build(simdjson::dom::element root, size_t maxDepth) {
        if (!root.is_array() && !root.is_object()) return scalarValue(root);
        thread_local std::vector<Frame> stack;
        stack.clear();
        Value result = root.is_object() ? Value(Dictionary()) : Value(Array());
        if (!open(stack, root, result, maxDepth)) return std::nullopt;
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.dictionary) {
                if (top.nextField == top.endField) {
                    stack.pop_back();
                    continue;
                }
                const simdjson::dom::key_value_pair field = *top.nextField;
                ++top.nextField;
                if (!isContainer(field.value)) {
                    top.dictionary->set(std::string(field.key), scalarValue(field.value));
                    continue;
                }
                Value& slot = insert(*top.dictionary, field.key, emptyContainer(field.value));
                if (!open(stack, field.value, slot, maxDepth)) return std::nullopt;
            } else {
                if (top.nextElement == top.endElement) {
                    stack.pop_back();
                    continue;
                }
                const simdjson::dom::element element = *top.nextElement;
                ++top.nextElement;
                if (!isContainer(element)) {
                    top.array->push_back(scalarValue(element));
                    continue;
                }
                Value& slot = top.array->emplace_back(emptyContainer(element));
                if (!open(stack, element, slot, maxDepth)) return std::nullopt;
            }
        }
        return result;
    }

private:
    struct Frame {
        Array* array = nullptr;
        Dictionary* dictionary = nullptr;
        simdjson::dom::array::iterator nextElement;
        simdjson::dom::array::iterator endElement;
        simdjson::dom::object::iterator nextField;
        simdjson::dom::object::iterator endField;
    };

    // Sets the key and answers where its value now lives, looking the key up
    // only once unless it was there before.
    static Value& insert(Dictionary& dictionary, std::string_view key, Value value) {
        const size_t before = dictionary.size();
        dictionary.set(std::string(key), std::move(value));
        // A new key went to the end; the entries are the dictionary's own,
        // non-const storage.
        if (dictionary.size() > before)
            return const_cast<Value&>(std::prev(dictionary.end())->second);
        return *dictionary.find(key);
    }

    static bool isContainer(simdjson::dom::element element) {
        const auto type = element.type();
        return type == simdjson::dom::element_type::ARRAY ||
               type == simdjson::dom::element_type::OBJECT;
    }

    static Value emptyContainer(simdjson::dom::element element) {
        return element.type() == simdjson::dom::element_type::OBJECT ? Value(Dictionary())
                                                                     : Value(Array());
    }

    // Starts filling `into`, an empty container of the element's kind.
    static bool open(std::vector<Frame>& stack, simdjson::dom::element container, Value& into,
                     size_t maxDepth) {
        if (stack.size() >= maxDepth) return false;
        Frame& frame = stack.emplace_back();
        if (container.type() == simdjson::dom::element_type::OBJECT) {
            const simdjson::dom::object fields = container.get_object().value_unsafe();
            frame.dictionary = into.dictionary();
            frame.dictionary->reserve(fields.size());
            frame.nextField = fields.begin();
            frame.endField = fields.end();
        } else {
            const simdjson::dom::array elements = container.get_array().value_unsafe();
            frame.array = into.array();
            frame.array->reserve(elements.size());
            frame.nextElement = elements.begin();
            frame.endElement = elements.end();
        }
        return true;
    }
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
    auto value = ValueBuilder::build(root, options_.maxDepth);
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
        *error = JSONError{std::string("JSON text refused: ") +
                               (parserMessage ? parserMessage : "unknown fault"),
                           0};
    }
    return std::nullopt;
}

}  // namespace core
