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

}  // namespace ads
