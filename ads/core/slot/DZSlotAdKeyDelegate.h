#pragma once
// Keeps what the owner's screen looked like for the request: cached when a
// load starts, sent as "view_hierarchy". Main thread.

#include <optional>

#include "core/Value.h"

namespace ads {

class DZSlot;

class DZSlotAdKeyDelegate {
public:
    virtual ~DZSlotAdKeyDelegate() = default;
    virtual void cacheViewHierarchyInformationForSlot(DZSlot& slot) = 0;
    [[nodiscard]] virtual std::optional<core::Dictionary>
    viewHierarchyInformationForSlot(DZSlot& slot) = 0;
};

}  // namespace ads
