#pragma once
// Told before a banner changes its ad size on its own. Publisher code
// adopts it; option objects hold it weakly. Its call comes with the banner
// view that sends it.

namespace ads {

class DZAdSizeDelegate {
public:
    virtual ~DZAdSizeDelegate() = default;
};

}  // namespace ads
