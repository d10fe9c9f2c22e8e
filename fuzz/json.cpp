// JSON: any text parses or fails cleanly; what parses writes (compact and
// pretty) and reads back as the same value, kind included, except that an
// integral double may come back as the integer of that value.

#include <cmath>
#include <cstdint>

#include "FuzzCheck.h"
#include "core/JSON.h"

namespace {

bool same(const core::Value& a, const core::Value& b) {
    using Kind = core::Value::Kind;
    if (a.kind() == Kind::Double && b.kind() == Kind::Double) {
        const double x = a.doubleValue(), y = b.doubleValue();
        return x == y && std::signbit(x) == std::signbit(y);
    }
    if (a.kind() == Kind::Double && b.kind() == Kind::Integer) {
        const double x = a.doubleValue();
        return a == b && !(x == 0 && std::signbit(x));
    }
    if (a.kind() != b.kind()) return false;
    if (const core::Array* left = a.array()) {
        const core::Array& right = *b.array();
        if (left->size() != right.size()) return false;
        for (size_t i = 0; i < left->size(); ++i) {
            if (!same((*left)[i], right[i])) return false;
        }
        return true;
    }
    if (const core::Dictionary* left = a.dictionary()) {
        const core::Dictionary& right = *b.dictionary();
        if (left->keys() != right.keys()) return false;
        for (const auto& [key, value] : *left) {
            if (!same(value, right[key])) return false;
        }
        return true;
    }
    return a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const core::JSONReadOptions options{.allowFragments = true};
    const auto parsed = core::JSON::parse(fuzz::text(data, size), options);
    if (!parsed) return 0;
    for (const auto style : {core::JSONStyle::Compact, core::JSONStyle::Pretty}) {
        core::JSONError error;
        const auto written = core::JSON::write(*parsed, style, &error);
        if (!written) std::fprintf(stderr, "write: %s\n", error.message.c_str());
        FUZZ_CHECK(written);
        const auto again = core::JSON::parse(*written, options);
        FUZZ_CHECK(again);
        FUZZ_CHECK(same(*parsed, *again));
    }
    return 0;
}
