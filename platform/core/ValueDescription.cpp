// The "%@" description of a Value: the platform's property-list text style.

#include <cctype>
#include <cmath>
#include <ctime>

#include "core/NumberText.h"
#include "core/StringFormat.h"

namespace core {

namespace {

bool needsQuotes(const std::string& text) {
    if (text.empty()) return true;
    for (unsigned char c : text)
        if (!std::isalnum(c) && c != '_' && c != '.' && c != '$' && c < 0x80) return true;
    return false;
}

std::string quoted(const std::string& text) {
    if (!needsQuotes(text)) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

// About 3e8 years either way: time_t holds it and gmtime's year (an int)
// does too. Dates beyond (a stored 1e300, NaN, infinity) are written as
// their number rather than cast.
constexpr double kDescribableSeconds = 1e16;

std::string dateText(const Date& date) {
    if (!(std::fabs(date.secondsSince1970) <= kDescribableSeconds)) {
        std::string text = "(date ";
        NumberText::appendDouble(text, date.secondsSince1970);
        return text + ")";
    }
    std::time_t seconds = static_cast<std::time_t>(std::floor(date.secondsSince1970));
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &parts);
    return buffer;
}

std::string dataText(const Data& data) {
    static const char* hex = "0123456789abcdef";
    std::string out = "<";
    for (size_t i = 0; i < data.size(); ++i) {
        if (i > 0 && i % 4 == 0) out += ' ';
        out += hex[data[i] >> 4];
        out += hex[data[i] & 15];
    }
    return out + ">";
}

void describeInto(const Value& value, int depth, bool nested, std::string& out) {
    const std::string indent(static_cast<size_t>(depth + 1) * 4, ' ');
    const std::string closingIndent(static_cast<size_t>(depth) * 4, ' ');
    switch (value.kind()) {
        case Value::Kind::Null:
            out += "<null>";
            return;
        case Value::Kind::Bool:
        case Value::Kind::Integer:
        case Value::Kind::Double:
            out += value.stringValue();
            return;
        case Value::Kind::String:
            out += nested ? quoted(*value.string()) : *value.string();
            return;
        case Value::Kind::Data:
            out += dataText(*value.data());
            return;
        case Value::Kind::Date:
            out += dateText(*value.date());
            return;
        case Value::Kind::Array: {
            out += "(\n";
            const Array& items = *value.array();
            for (size_t i = 0; i < items.size(); ++i) {
                out += indent;
                describeInto(items[i], depth + 1, true, out);
                out += i + 1 < items.size() ? ",\n" : "\n";
            }
            out += closingIndent + ")";
            return;
        }
        case Value::Kind::Dictionary:
            out += "{\n";
            for (const auto& [key, item] : *value.dictionary()) {
                out += indent + quoted(key) + " = ";
                describeInto(item, depth + 1, true, out);
                out += ";\n";
            }
            out += closingIndent + "}";
            return;
    }
}

}  // namespace

std::string describe(const Value& value) {
    std::string out;
    describeInto(value, 0, false, out);
    return out;
}

}  // namespace core
