#include "core/KeyedArchive.h"

#include <bit>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

#include "core/StringFormat.h"

namespace core {

namespace {

constexpr std::string_view kMagic = "VKAR";

enum Tag : std::uint8_t {
    kNull = 0,
    kFalse = 1,
    kTrue = 2,
    kSigned = 3,
    kUnsigned = 4,
    kDouble = 5,
    kDate = 6,
    kString = 7,
    kData = 8,
    kArray = 9,
    kDictionary = 10,
};

// Smallest archived size of an array element (a tag) and of a dictionary
// entry (a key length and a tag).
constexpr size_t kMinElementSize = 1;
constexpr size_t kMinEntrySize = 5;

// What the writer and the reader share: the depth limit and the error.
class Pass {
protected:
    explicit Pass(std::string* error) : error_(error) {}

    bool enter(size_t depth) {
        if (depth < KeyedArchive::kMaxDepth) return true;
        return fail(format("containers nest deeper than %@", KeyedArchive::kMaxDepth));
    }

    bool fail(std::string message) {
        if (error_) *error_ = std::move(message);
        return false;
    }

private:
    std::string* error_;
};

class Writer : Pass {
public:
    explicit Writer(std::string* error) : Pass(error) {}

    bool write(const Value& value, size_t depth) {
        switch (value.kind()) {
        case Value::Kind::Null:
            return put(kNull);
        case Value::Kind::Bool:
            return put(value.boolValue() ? kTrue : kFalse);
        case Value::Kind::Integer:
            put(value.isUnsigned() ? kUnsigned : kSigned);
            return put64(value.uintValue());
        case Value::Kind::Double:
            put(kDouble);
            return put64(std::bit_cast<std::uint64_t>(value.doubleValue()));
        case Value::Kind::Date:
            put(kDate);
            return put64(std::bit_cast<std::uint64_t>(value.date()->secondsSince1970));
        case Value::Kind::String:
            put(kString);
            return putBytes(value.string()->data(), value.string()->size());
        case Value::Kind::Data:
            put(kData);
            return putBytes(value.data()->data(), value.data()->size());
        case Value::Kind::Array: {
            if (!enter(depth) || !putTagAndCount(kArray, value.array()->size())) return false;
            for (const Value& element : *value.array()) {
                if (!write(element, depth + 1)) return false;
            }
            return true;
        }
        case Value::Kind::Dictionary: {
            const Dictionary& dictionary = *value.dictionary();
            if (!enter(depth) || !putTagAndCount(kDictionary, dictionary.size())) return false;
            for (const auto& [key, element] : dictionary) {
                if (!putBytes(key.data(), key.size()) || !write(element, depth + 1)) return false;
            }
            return true;
        }
        }
        return fail("unknown value kind");
    }

    Data take() { return std::move(bytes_); }

    bool put(std::uint8_t byte) {
        bytes_.push_back(byte);
        return true;
    }

private:
    bool put64(std::uint64_t number) {
        for (int shift = 0; shift < 64; shift += 8) put(static_cast<std::uint8_t>(number >> shift));
        return true;
    }

    bool putCount(size_t count) {
        if (count > std::numeric_limits<std::uint32_t>::max()) {
            return fail(format("%@ items do not fit a 32-bit count", count));
        }
        for (int shift = 0; shift < 32; shift += 8) put(static_cast<std::uint8_t>(count >> shift));
        return true;
    }

    bool putTagAndCount(Tag tag, size_t count) { return put(tag) && putCount(count); }

    bool putBytes(const void* data, size_t size) {
        if (!putCount(size)) return false;
        const auto* begin = static_cast<const std::uint8_t*>(data);
        bytes_.insert(bytes_.end(), begin, begin + size);
        return true;
    }

    Data bytes_;
};

class Reader : Pass {
public:
    Reader(std::span<const std::uint8_t> bytes, std::string* error) : Pass(error), bytes_(bytes) {}

    bool readHeader() {
        if (bytes_.size() < kMagic.size() ||
            std::memcmp(bytes_.data(), kMagic.data(), kMagic.size()) != 0) {
            return fail("not a keyed archive");
        }
        offset_ = kMagic.size();
        std::uint8_t version = 0;
        if (!get(version)) return false;
        if (version != KeyedArchive::kVersion) {
            return fail(format("unsupported archive version %@", int(version)));
        }
        return true;
    }

    std::optional<Value> read(size_t depth) {
        const size_t tagOffset = offset_;
        std::uint8_t tag = 0;
        if (!get(tag)) return std::nullopt;
        switch (tag) {
        case kNull:
            return Value();
        case kFalse:
            return Value(false);
        case kTrue:
            return Value(true);
        case kSigned:
        case kUnsigned:
        case kDouble:
        case kDate: {
            std::uint64_t bits = 0;
            if (!get64(bits)) return std::nullopt;
            if (tag == kSigned) return Value(static_cast<long long>(bits));
            if (tag == kUnsigned) return Value(static_cast<unsigned long long>(bits));
            if (tag == kDouble) return Value(std::bit_cast<double>(bits));
            return Value(Date{std::bit_cast<double>(bits)});
        }
        case kString: {
            std::string_view text;
            if (!getBytes(text)) return std::nullopt;
            return Value(std::string(text));
        }
        case kData: {
            std::string_view bytes;
            if (!getBytes(bytes)) return std::nullopt;
            return Value(core::Data(bytes.begin(), bytes.end()));
        }
        case kArray:
            return readArray(depth);
        case kDictionary:
            return readDictionary(depth);
        default:
            fail(format("unknown tag %@ at byte %@", int(tag), tagOffset));
            return std::nullopt;
        }
    }

    bool readEnd() {
        if (offset_ == bytes_.size()) return true;
        return fail(
            format("%@ bytes after the root value at byte %@", bytes_.size() - offset_, offset_));
    }

private:
    std::optional<Value> readArray(size_t depth) {
        std::uint32_t count = 0;
        if (!enter(depth) || !getCount(count, kMinElementSize)) return std::nullopt;
        Array array;
        array.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            auto element = read(depth + 1);
            if (!element) return std::nullopt;
            array.push_back(std::move(*element));
        }
        return Value(std::move(array));
    }

    std::optional<Value> readDictionary(size_t depth) {
        std::uint32_t count = 0;
        if (!enter(depth) || !getCount(count, kMinEntrySize)) return std::nullopt;
        Dictionary dictionary;
        dictionary.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const size_t keyOffset = offset_;
            std::string_view key;
            if (!getBytes(key)) return std::nullopt;
            if (dictionary.contains(key)) {
                fail(format("key \"%@\" repeated at byte %@", key, keyOffset));
                return std::nullopt;
            }
            auto element = read(depth + 1);
            if (!element) return std::nullopt;
            dictionary.set(std::string(key), std::move(*element));
        }
        return Value(std::move(dictionary));
    }

    [[nodiscard]] size_t remaining() const { return bytes_.size() - offset_; }

    bool need(size_t size) {
        if (size <= remaining()) return true;
        return fail(format("truncated at byte %@", bytes_.size()));
    }

    bool get(std::uint8_t& byte) {
        if (!need(1)) return false;
        byte = bytes_[offset_++];
        return true;
    }

    bool get64(std::uint64_t& number) {
        if (!need(8)) return false;
        number = 0;
        for (int i = 0; i < 8; ++i) number |= std::uint64_t(bytes_[offset_++]) << (8 * i);
        return true;
    }

    // A count of items of at least minSize bytes each, checked against what
    // is left so that a corrupt count never reserves memory.
    bool getCount(std::uint32_t& count, size_t minSize) {
        const size_t countOffset = offset_;
        if (!need(4)) return false;
        count = 0;
        for (int i = 0; i < 4; ++i) count |= std::uint32_t(bytes_[offset_++]) << (8 * i);
        if (count <= remaining() / minSize) return true;
        return fail(format("count %@ at byte %@ runs past the end", count, countOffset));
    }

    bool getBytes(std::string_view& bytes) {
        std::uint32_t size = 0;
        if (!getCount(size, 1)) return false;
        bytes = {reinterpret_cast<const char*>(bytes_.data()) + offset_, size};
        offset_ += size;
        return true;
    }

    std::span<const std::uint8_t> bytes_;
    size_t offset_ = 0;
};

}  // namespace

std::optional<Data> KeyedArchive::encode(const Value& root, std::string* error) {
    Writer writer(error);
    for (const char c : kMagic) writer.put(static_cast<std::uint8_t>(c));
    writer.put(kVersion);
    if (!writer.write(root, 0)) return std::nullopt;
    return writer.take();
}

std::optional<Value> KeyedArchive::decode(std::span<const std::uint8_t> bytes, std::string* error) {
    Reader reader(bytes, error);
    if (!reader.readHeader()) return std::nullopt;
    auto root = reader.read(0);
    if (!root || !reader.readEnd()) return std::nullopt;
    return root;
}

}  // namespace core
