#include "core/StringFormat.h"

#include <cctype>
#include <cstdio>
#include <vector>

namespace core {

namespace {

struct Directive {
    std::string flags;
    std::string width;
    std::string precision;  // including the leading '.', or empty
    char conversion = 0;
};

// Parses the directive that starts after a '%' at `pos`; on return `pos` is
// past the conversion character. Returns false for a truncated directive.
bool parseDirective(std::string_view fmt, size_t& pos, Directive& d) {
    auto take = [&](auto predicate, std::string& out) {
        const size_t start = pos;
        while (pos < fmt.size() && predicate(fmt[pos])) ++pos;
        out.append(fmt.substr(start, pos - start));
    };
    take([](char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }, d.flags);
    take([](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }, d.width);
    if (pos < fmt.size() && fmt[pos] == '.') {
        d.precision.assign(1, '.');
        ++pos;
        take([](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }, d.precision);
    }
    // Length modifiers say nothing here: the argument carries its own type.
    while (pos < fmt.size() && std::string_view("hlqLjzt").find(fmt[pos]) != std::string_view::npos)
        ++pos;
    if (pos >= fmt.size()) return false;
    d.conversion = fmt[pos++];
    return true;
}

std::string printfOne(const std::string& spec, auto value) {
    char small[128];
    int n = std::snprintf(small, sizeof small, spec.c_str(), value);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), spec.c_str(), value);
    big.resize(static_cast<size_t>(n));
    return big;
}

std::string pad(std::string text, const Directive& d) {
    if (d.width.empty()) return text;
    size_t width = std::stoul(d.width);
    if (text.size() >= width) return text;
    bool left = d.flags.find('-') != std::string::npos;
    text.insert(left ? text.size() : 0, width - text.size(), ' ');
    return text;
}

std::string numberText(const FormatArg::Storage& s) {
    if (auto i = std::get_if<std::int64_t>(&s)) return std::to_string(*i);
    if (auto u = std::get_if<std::uint64_t>(&s)) return std::to_string(*u);
    if (auto d = std::get_if<double>(&s)) return Value(*d).stringValue();
    return {};
}

std::string formatObject(const FormatArg::Storage& s) {
    if (auto text = std::get_if<std::string_view>(&s)) return std::string(*text);
    if (auto v = std::get_if<const Value*>(&s)) return describe(**v);
    if (auto p = std::get_if<const void*>(&s)) return *p ? printfOne("%p", *p) : "(null)";
    return numberText(s);
}

std::string formatOne(const Directive& d, const FormatArg::Storage& s) {
    std::string spec = "%";
    spec.append(d.flags).append(d.width).append(d.precision);
    auto with = [&spec](std::string_view conversion) {
        std::string full = spec;
        full.append(conversion);
        return full;
    };
    switch (d.conversion) {
        case '@':
            return pad(formatObject(s), d);
        case 's': {
            std::string text = formatObject(s);
            if (d.precision.size() > 1) text = text.substr(0, std::stoul(d.precision.substr(1)));
            return pad(text, d);
        }
        case 'p':
            if (auto p = std::get_if<const void*>(&s)) return printfOne(with("p"), *p);
            return pad(formatObject(s), d);
        case 'c':
            if (auto i = std::get_if<std::int64_t>(&s)) return printfOne(with("c"), static_cast<int>(*i));
            return {};
        case 'f': case 'F': case 'e': case 'E': case 'g': case 'G': case 'a': case 'A': {
            double value = 0;
            if (auto dv = std::get_if<double>(&s)) value = *dv;
            else if (auto i = std::get_if<std::int64_t>(&s)) value = static_cast<double>(*i);
            else if (auto u = std::get_if<std::uint64_t>(&s)) value = static_cast<double>(*u);
            return printfOne(with(std::string_view(&d.conversion, 1)), value);
        }
        case 'd': case 'i':
            if (auto u = std::get_if<std::uint64_t>(&s))
                return printfOne(with("lld"), static_cast<long long>(*u));
            if (auto i = std::get_if<std::int64_t>(&s)) return printfOne(with("lld"), static_cast<long long>(*i));
            if (auto dv = std::get_if<double>(&s))
                return printfOne(with("lld"), static_cast<long long>(*dv));
            return pad(formatObject(s), d);
        case 'u': case 'x': case 'X': case 'o': {
            unsigned long long value = 0;
            if (auto u = std::get_if<std::uint64_t>(&s)) value = *u;
            else if (auto i = std::get_if<std::int64_t>(&s)) value = static_cast<unsigned long long>(*i);
            else if (auto dv = std::get_if<double>(&s)) value = static_cast<unsigned long long>(*dv);
            else return pad(formatObject(s), d);
            const char conversion[] = {'l', 'l', d.conversion};
            return printfOne(with(std::string_view(conversion, 3)), value);
        }
        default:
            return {};
    }
}

}  // namespace

std::string formatArgs(std::string_view fmt, std::initializer_list<FormatArg> args) {
    std::string out;
    out.reserve(fmt.size() + 16);
    auto next = args.begin();
    size_t pos = 0;
    while (pos < fmt.size()) {
        char c = fmt[pos++];
        if (c != '%') {
            out += c;
            continue;
        }
        if (pos < fmt.size() && fmt[pos] == '%') {
            out += '%';
            ++pos;
            continue;
        }
        Directive d;
        if (!parseDirective(fmt, pos, d)) break;
        if (next == args.end()) continue;
        out += formatOne(d, (next++)->storage());
    }
    return out;
}

}  // namespace core
