#pragma once
// The full-screen controller of an HTML ad. Full-screen presentation is not
// built yet; what the SDK reads of it now is the interface orientation the
// ad forces, which is none (0) here. Main thread.

#include "ui/ViewController.h"

namespace ads {

class DZAdAppViewController : public ui::ViewController {
public:
    // 0 for none.
    [[nodiscard]] virtual long forcedAdOrientation() const { return 0; }
};

}  // namespace ads
