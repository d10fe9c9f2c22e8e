#pragma once
// Opens what an ad's clicks and scripts ask for (store pages, browsers,
// composers, web-app overlays). Click opening is not built yet: the opener
// refuses every open action. Each question is recorded in DZCallLog as
// "DZOpener.shouldPerformOpenAction". Main thread.

namespace ads {

class DZOpener {
public:
    DZOpener() = default;
    virtual ~DZOpener() = default;

    // Whether an open action may run now: never yet.
    [[nodiscard]] virtual bool shouldPerformOpenAction();
};

}  // namespace ads
