// Macro templates as servers send them: any template and any values
// substitute without failing. Macro names are the SDK's own (they are
// pattern text by design), so they come from a fixed list.
//
// Input: "template\nvalue"; the template's first byte picks the names.

#include <array>
#include <cstdint>

#include "FuzzCheck.h"
#include "ads/foundation/DZMacroTemplates.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static constexpr std::array<std::string_view, 5> kNames = {"gw_qdata", "gw_sessid", "x",
                                                               "[^@]+", "gw_adnetstatus"};
    const auto [templateText, value] = fuzz::splitLine(fuzz::text(data, size));
    const std::string_view name = kNames[size ? data[0] % kNames.size() : 0];

    std::string one(templateText);
    ads::DZStringBySubstitutingMacro(one, name, value);
    ads::DZRemoveUnresolvedMacros(one);
    ads::DZUnescapeMacroMarkers(one);

    std::string filled(templateText);
    ads::DZSubstituteMacros(filled, {{std::string(name), std::string(value)}, {"y", "@@"}});
    // Every macro was filled or removed and the markers unescaped: a
    // template without "@" and values without "@" leave none.
    if (templateText.find('@') == std::string_view::npos &&
        value.find('@') == std::string_view::npos) {
        FUZZ_CHECK(filled == templateText);
    }
    return 0;
}
