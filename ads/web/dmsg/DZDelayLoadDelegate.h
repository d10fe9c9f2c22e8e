#pragma once
// Hears the page's requests to hold back the end of its load: the count of
// open delays changing, and a cancelled load. Main thread.

#include <cstdint>

namespace ads {

class DZDelayPageLoadDMSGHandler;

class DZDelayLoadDelegate {
public:
    virtual ~DZDelayLoadDelegate() = default;
    virtual void loadHandlerDidCancel(DZDelayPageLoadDMSGHandler& handler) = 0;
    virtual void loadHandlerDidChangeDelay(DZDelayPageLoadDMSGHandler& handler, std::int64_t from,
                                           std::int64_t to) = 0;
};

}  // namespace ads
