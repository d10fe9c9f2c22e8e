#pragma once
// core::Value is the dynamic value of the system's dictionaries and arrays:
// null, bool, integer (int64 with an unsigned flag, so the whole uint64 range
// fits), double, UTF-8 string, data, date, array and dictionary.
//
// Values are plain value types: copying a Value copies its contents.
// Dictionaries keep their keys in insertion order; setting an existing key
// replaces its value in place. Bool stays distinct from number.
//
// The typed readers (`boolValue`, `intValue`, ...) follow the platform's
// coercions: a number reads as bool when non-zero, a text "YES"/"true" (any
// case) or one whose leading number is non-zero ("1", "2") reads as true, a
// numeric text reads as its leading number ("12abc" is 12, "abc" is 0), a
// bool reads as 1 or 0, and anything absent or of another kind reads as 0,
// false or empty.
//
// A Value is not synchronised: share it between threads only for reading.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace core {

class Value;

using Data = std::vector<std::uint8_t>;

// A point in time: seconds since 1970-01-01 00:00:00 UTC.
struct Date {
    double secondsSince1970 = 0;
    friend bool operator==(const Date&, const Date&) = default;
};

// An insertion-ordered string-keyed map. Small dictionaries are searched in
// order; larger ones keep a hash index beside the entries.
class Dictionary {
public:
    using Entry = std::pair<std::string, Value>;

    Dictionary();
    // A key given twice keeps its first position and its last value.
    Dictionary(std::initializer_list<Entry> entries);
    Dictionary(const Dictionary& other);
    Dictionary(Dictionary&& other) noexcept;
    Dictionary& operator=(const Dictionary& other);
    Dictionary& operator=(Dictionary&& other) noexcept;
    ~Dictionary();

    [[nodiscard]] size_t size() const;
    [[nodiscard]] bool empty() const;
    [[nodiscard]] bool contains(std::string_view key) const;

    // nullptr when the key is absent.
    [[nodiscard]] const Value* find(std::string_view key) const;
    [[nodiscard]] Value* find(std::string_view key);
    // The value under key, or a shared null value when absent.
    [[nodiscard]] const Value& operator[](std::string_view key) const;

    // Replaces in place when present, appends otherwise.
    void set(std::string key, Value value);
    // Inserts a null when absent; the reference stays valid until the next
    // insertion or removal.
    Value& at(std::string_view key);
    // Keeps the order of the remaining entries; false when absent.
    bool remove(std::string_view key);
    void clear();
    void reserve(size_t count);

    [[nodiscard]] std::vector<std::string> keys() const;
    [[nodiscard]] auto begin() const { return entries_.begin(); }
    [[nodiscard]] auto end() const { return entries_.end(); }

    // Same keys with equal values; the order of the keys does not matter.
    friend bool operator==(const Dictionary& a, const Dictionary& b);

private:
    struct Index;

    [[nodiscard]] std::optional<size_t> positionOf(std::string_view key) const;
    void reindexFrom(size_t position);

    std::vector<Entry> entries_;
    std::unique_ptr<Index> index_;  // only past a few entries
};

using Array = std::vector<Value>;

class Value {
public:
    enum class Kind { Null, Bool, Integer, Double, String, Data, Date, Array, Dictionary };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : storage_(b) {}
    Value(int i) : storage_(Integer{i, false}) {}
    Value(long i) : storage_(Integer{static_cast<std::int64_t>(i), false}) {}
    Value(long long i) : storage_(Integer{static_cast<std::int64_t>(i), false}) {}
    Value(unsigned i) : storage_(Integer{static_cast<std::int64_t>(i), false}) {}
    Value(unsigned long i) : storage_(Integer{static_cast<std::int64_t>(i), true}) {}
    Value(unsigned long long i) : storage_(Integer{static_cast<std::int64_t>(i), true}) {}
    Value(double d) : storage_(d) {}
    Value(const char* s) : storage_(std::string(s)) {}
    Value(std::string s) : storage_(std::move(s)) {}
    Value(std::string_view s) : storage_(std::string(s)) {}
    Value(core::Data d) : storage_(std::move(d)) {}
    Value(core::Date d) : storage_(d) {}
    Value(core::Array a) : storage_(std::move(a)) {}
    Value(core::Dictionary d) : storage_(std::move(d)) {}
    // Out of line: inlined moves of the variant set off false
    // maybe-uninitialized warnings in GCC 12 at every call site.
    Value(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept;
    ~Value();

    [[nodiscard]] Kind kind() const { return static_cast<Kind>(storage_.index()); }
    [[nodiscard]] bool isNull() const { return kind() == Kind::Null; }
    [[nodiscard]] bool isBool() const { return kind() == Kind::Bool; }
    [[nodiscard]] bool isInteger() const { return kind() == Kind::Integer; }
    [[nodiscard]] bool isDouble() const { return kind() == Kind::Double; }
    // Integer or double (never bool).
    [[nodiscard]] bool isNumber() const { return isInteger() || isDouble(); }
    [[nodiscard]] bool isString() const { return kind() == Kind::String; }
    [[nodiscard]] bool isData() const { return kind() == Kind::Data; }
    [[nodiscard]] bool isDate() const { return kind() == Kind::Date; }
    [[nodiscard]] bool isArray() const { return kind() == Kind::Array; }
    [[nodiscard]] bool isDictionary() const { return kind() == Kind::Dictionary; }
    // An integer stored as unsigned (values above INT64_MAX need it).
    [[nodiscard]] bool isUnsigned() const;

    // Coercing readers. Doubles convert toward zero and saturate at the
    // ends of the integer range (NaN reads as 0). An unsigned integer above
    // INT64_MAX read by intValue, or a negative one read by uintValue, keeps
    // its bits (two's complement). A text reads as the integer its leading
    // digits spell for intValue/uintValue ("3.7" is 3, saturating) and as
    // its leading decimal number for doubleValue ("1e3" is 1000).
    [[nodiscard]] bool boolValue() const;
    [[nodiscard]] std::int64_t intValue() const;
    [[nodiscard]] std::uint64_t uintValue() const;
    [[nodiscard]] double doubleValue() const;
    // Text as is; integers in decimal; doubles in their shortest round-trip
    // form, integral ones without ".0" ("0.5", "3", "1e+21"; "nan", "inf");
    // bools as "1" and "0"; other kinds read as empty.
    [[nodiscard]] std::string stringValue() const;

    // Exact accessors: nullptr when the kind differs.
    [[nodiscard]] const std::string* string() const { return std::get_if<std::string>(&storage_); }
    [[nodiscard]] const core::Data* data() const { return std::get_if<core::Data>(&storage_); }
    [[nodiscard]] const core::Date* date() const { return std::get_if<core::Date>(&storage_); }
    [[nodiscard]] const core::Array* array() const { return std::get_if<core::Array>(&storage_); }
    [[nodiscard]] core::Array* array() { return std::get_if<core::Array>(&storage_); }
    [[nodiscard]] const core::Dictionary* dictionary() const {
        return std::get_if<core::Dictionary>(&storage_);
    }
    [[nodiscard]] core::Dictionary* dictionary() {
        return std::get_if<core::Dictionary>(&storage_);
    }

    // Dictionary lookup; a shared null value for a missing key or a
    // non-dictionary.
    [[nodiscard]] const Value& operator[](std::string_view key) const;
    // Array element; a shared null value when out of range or not an array.
    [[nodiscard]] const Value& operator[](size_t index) const;
    // Number of elements of an array or entries of a dictionary, else 0.
    [[nodiscard]] size_t size() const;

    // Integers and doubles compare by numeric value (1 == 1.0); other kinds
    // compare by kind and contents.
    friend bool operator==(const Value& a, const Value& b);

    static const Value& null();

private:
    struct Integer {
        std::int64_t value;
        bool isUnsigned;
    };
    std::variant<std::monostate, bool, Integer, double, std::string, core::Data, core::Date,
                 core::Array, core::Dictionary>
        storage_;
};

// Defined once Value is complete: the size of a vector of entries needs the
// size of an entry (Clang instantiates them at their declaration otherwise).
inline size_t Dictionary::size() const { return entries_.size(); }
inline bool Dictionary::empty() const { return entries_.empty(); }

}  // namespace core
