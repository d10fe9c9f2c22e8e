#include "ads/core/request/DZTouchSignalRecognizer.h"

namespace ads {

DZTouchSignalRecognizer::DZTouchSignalRecognizer() = default;

void DZTouchSignalRecognizer::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
    ui::TouchSet received;
    const auto delegate =
        std::dynamic_pointer_cast<DZTouchSignalRecognizerDelegate>(this->delegate());
    for (const auto& touch : touches) {
        if (!delegate || delegate->gestureRecognizerShouldReceiveTouch(*this, *touch))
            received.push_back(touch);
    }
    if (!received.empty()) DZGestureRecognizer::touchesBegan(received, event);
}

void DZTouchSignalRecognizer::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
    if (const auto delegate =
            std::dynamic_pointer_cast<DZTouchSignalRecognizerDelegate>(this->delegate()))
        for (const auto& touch : touches) delegate->gestureRecognizerDidEndTouch(*this, *touch);
    DZGestureRecognizer::touchesEnded(touches, event);
}

}  // namespace ads
