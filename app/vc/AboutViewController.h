#pragma once
// The about page: version, description, tip purchase, review link, cache
// cleaning and the photo service's licence link.

#include "ui/ViewController.h"

namespace app {

class AboutViewController : public ui::ViewController {
public:
    void loadView() override;
};

}  // namespace app
