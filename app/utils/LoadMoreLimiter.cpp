#include "app/utils/LoadMoreLimiter.h"

namespace app {

void LoadMoreLimiter::refreshStarted() {
    stopped_ = false;
    emptyPages_ = 0;
}

bool LoadMoreLimiter::shouldRequestAfterPage(bool broughtNewItems) {
    if (broughtNewItems) {
        emptyPages_ = 0;
        return false;
    }
    if (++emptyPages_ >= kMaxEmptyPages) stopped_ = true;
    return !stopped_;
}

}  // namespace app
