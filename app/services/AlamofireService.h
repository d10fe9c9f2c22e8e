#pragma once
// Holder of the app's HTTP sessions: the shared session of the feeds, whose
// requests time out after 10 seconds without data, and the default session
// (the client's ordinary time-outs) of the quote request and the
// download-tracking ping.

#include <memory>

#include "core/URLSession.h"

namespace app {

class AlamofireService {
public:
    static constexpr double kRequestTimeout = 10.0;

    [[nodiscard]] static std::shared_ptr<core::URLSession> sharedSession();
    [[nodiscard]] static std::shared_ptr<core::URLSession> defaultSession();
};

}  // namespace app
