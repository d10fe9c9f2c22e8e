#pragma once
// The zoom-header table filled with fixed rows for a demonstration: two
// sections titled "section - 0" and "section - 1", three rows each
// ("cell - 0" to "cell - 2"), every row 100 points high. Each row gets a
// new cell. Made with std::make_shared. Main thread only.

#include <memory>
#include <optional>
#include <string>

#include "app/QZKit/QZScrollZoomTableViewController.h"

namespace app {

class QZSZDemoViewController : public QZScrollZoomTableViewController {
public:
    static constexpr int kSections = 2;
    static constexpr int kRowsPerSection = 3;
    static constexpr double kRowHeight = 100;

    [[nodiscard]] int numberOfSections(ui::TableView&) override { return kSections; }
    [[nodiscard]] int numberOfRowsInSection(ui::TableView&, int) override {
        return kRowsPerSection;
    }
    [[nodiscard]] std::optional<double> heightForRowAtIndexPath(ui::TableView&,
                                                                const ui::IndexPath&) override {
        return kRowHeight;
    }
    [[nodiscard]] std::optional<std::string> titleForHeaderInSection(ui::TableView&,
                                                                     int section) override;
    [[nodiscard]] std::shared_ptr<ui::TableViewCell>
    cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) override;
};

}  // namespace app
