#include "ui/AnimationActivity.h"

namespace ui {

namespace {
size_t running = 0;
}  // namespace

void AnimationActivity::began() {
    ++running;
}

void AnimationActivity::ended() {
    if (running > 0) --running;
}

size_t AnimationActivity::count() {
    return running;
}

}  // namespace ui
