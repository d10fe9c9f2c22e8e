#pragma once
// Gives the timing messages of an ad page the hub they record into.

#include <memory>

namespace ads {

class DZCSI;

class DZCSIDMSGHandlerDelegate {
public:
    virtual ~DZCSIDMSGHandlerDelegate() = default;
    // nullptr: the messages record nothing.
    [[nodiscard]] virtual std::shared_ptr<DZCSI> CSIForDMSGHandler() { return nullptr; }
};

}  // namespace ads
