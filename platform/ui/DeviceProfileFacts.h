#pragma once
// Reading the signal facts of a device profile file (model, languages,
// advertising identifier, carrier, audio, capabilities). Internal to
// DeviceProfile.

#include "core/Value.h"
#include "ui/DeviceProfile.h"

namespace ui::detail {

// Fills the facts present in value into profile, leaving the others at their
// defaults (languages and locale from the environment); false when one is
// present with the wrong type or out of range.
[[nodiscard]] bool readSignalFacts(const core::Value& value, DeviceProfile& profile);

}  // namespace ui::detail
