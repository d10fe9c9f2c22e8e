#pragma once
// The process-wide registry of what ad web views load: made at start-up.
// Ad views do not register with it yet, so it holds nothing; each call of
// sharedInstance() is recorded in DZCallLog. Any thread.

#include <memory>

namespace ads {

class DZAdURLStash {
public:
    [[nodiscard]] static std::shared_ptr<DZAdURLStash> sharedInstance();
    DZAdURLStash() = default;
};

}  // namespace ads
