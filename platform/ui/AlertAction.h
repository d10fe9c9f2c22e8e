#pragma once
// One button of an alert or action sheet: its title, its style (cancel rows
// are bold and come last, destructive rows are red) and the handler called
// with the action once the alert has been dismissed.

#include <functional>
#include <string>

namespace ui {

enum class AlertActionStyle { Default, Cancel, Destructive };

struct AlertAction {
    std::string title;
    AlertActionStyle style = AlertActionStyle::Default;
    std::function<void(const AlertAction&)> handler;
};

}  // namespace ui
