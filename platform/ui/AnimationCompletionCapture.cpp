#include "ui/AnimationCompletionCapture.h"

#include <utility>

namespace ui {

namespace {

AnimationCompletionCapture* innermost = nullptr;

}  // namespace

AnimationCompletionCapture::AnimationCompletionCapture() : outer_(innermost) {
    innermost = this;
}

AnimationCompletionCapture::~AnimationCompletionCapture() {
    innermost = outer_;
}

std::vector<AnimationCompletionCapture::Completion> AnimationCompletionCapture::take() {
    return std::exchange(completions_, {});
}

AnimationCompletionCapture* AnimationCompletionCapture::current() {
    return innermost;
}

void AnimationCompletionCapture::add(Completion completion) {
    if (completion) completions_.push_back(std::move(completion));
}

}  // namespace ui
