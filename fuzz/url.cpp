// URLs: parsing any text, the accessors, resolution against a base, and
// rebuilding from components. A URL keeps its text; what resolution or the
// components make parses again to the same text.
//
// Input: "reference\nbase"; without a newline, the text alone.

#include <cstdint>

#include "FuzzCheck.h"
#include "core/URL.h"
#include "core/URLComponents.h"

namespace {

void exercise(const core::URL& url) {
    (void)url.user();
    (void)url.password();
    (void)url.pathComponents();
    (void)url.lastPathComponent();
    (void)url.pathExtension();
    (void)url.fileSystemPath();
    (void)url.queryItems();
    (void)url.resourceSpecifier();
    (void)url.isHTTPorHTTPS();
    if (const auto path = url.fileSystemPath()) {
        FUZZ_CHECK(path->find('\0') == std::string::npos);
    }
    const core::URL appended = url.appendingPathComponent("a b%/c");
    FUZZ_CHECK(core::URL::create(appended.absoluteString()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const auto [reference, baseText] = fuzz::splitLine(fuzz::text(data, size));
    const auto url = core::URL::create(reference);
    if (url) {
        FUZZ_CHECK(url->absoluteString() == reference);
        exercise(*url);
        const auto rebuilt = core::URLComponents(*url).url();
        if (rebuilt) FUZZ_CHECK(core::URL::create(rebuilt->absoluteString()) == rebuilt);
    }
    const auto base = core::URL::create(baseText);
    if (!base) return 0;
    const auto resolved = core::URL::create(reference, *base);
    if (!resolved) return 0;
    exercise(*resolved);
    FUZZ_CHECK(core::URL::create(resolved->absoluteString()) == resolved);
    return 0;
}
