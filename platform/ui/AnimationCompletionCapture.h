#pragma once
// Holds back the completions of the View::animate calls made while it is
// the innermost live capture: instead of being scheduled on the clock they
// are collected, and whoever made the capture decides when (and whether)
// they run. An interactive transition uses it to keep its animator's
// completion pending while a gesture drives the transition. Captures nest;
// the innermost one collects. Main thread only.

#include <functional>
#include <vector>

namespace ui {

class AnimationCompletionCapture {
public:
    using Completion = std::function<void(bool finished)>;

    AnimationCompletionCapture();
    ~AnimationCompletionCapture();
    AnimationCompletionCapture(const AnimationCompletionCapture&) = delete;
    AnimationCompletionCapture& operator=(const AnimationCompletionCapture&) = delete;

    // The completions collected so far, in the order of their animate calls;
    // the capture is empty afterwards.
    [[nodiscard]] std::vector<Completion> take();

    // The innermost live capture, or nullptr.
    [[nodiscard]] static AnimationCompletionCapture* current();
    void add(Completion completion);

private:
    AnimationCompletionCapture* outer_;
    std::vector<Completion> completions_;
};

}  // namespace ui
