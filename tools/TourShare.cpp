#include <cstdio>

#include "Tour.h"
#include "core/FileManager.h"
#include "core/JSON.h"
#include "store/ActivityViewController.h"
#include "store/ShareOutbox.h"
#include "ui/AlertActionRow.h"
#include "ui/AlertBoxView.h"
#include "ui/AlertController.h"
#include "ui/AlertView.h"
#include "ui/Button.h"
#include "ui/NavigationController.h"
#include "ui/TouchInjector.h"

namespace tools {

namespace {

constexpr double kSheetSettle = 0.6;  // the sheet's 0.3 s presentation and a frame or two
constexpr double kOutboxLimit = 8.0;  // seconds for the share image to be encoded and written

void tapView(ui::Window& window, const ui::View& view) {
    ui::TouchInjector(window).tap(view.convertRectTo(view.bounds(), nullptr).center());
}

// The image file of the newest share record, or empty.
std::filesystem::path newestSharedImage() {
    const auto records = store::ShareOutbox::recordPaths();
    if (records.empty()) return {};
    const auto text = core::FileManager::readFile(records.back());
    if (!text) return {};
    const auto record = core::JSON::parse(text.value());
    if (!record) return {};
    const std::string file = (*record)["items"][0]["file"].stringValue();
    if (file.empty()) return {};
    return std::filesystem::path(store::ShareOutbox::folderPath()) / file;
}

}  // namespace

size_t Tour::saveShareSteps(const std::shared_ptr<app::PhotoViewController>& viewer) {
    auto navigation =
        std::dynamic_pointer_cast<ui::NavigationController>(app_->window()->rootViewController());
    if (!navigation || !viewer->fullImage()) return 0;
    ui::Window& window = *app_->window();
    size_t written = 0;

    tapView(window, *viewer->bbarSaveButton());
    clock_.wait(kSheetSettle);
    if (const auto sheet =
            std::dynamic_pointer_cast<ui::AlertController>(navigation->presentedViewController())) {
        written += shoot_("viewer-5-save-sheet.png");
        if (const auto view = sheet->alertView(); view && !view->box()->rows().empty())
            tapView(window, *view->box()->rows().back());
        clock_.wait(kSheetSettle);
    }

    const size_t recordsBefore = store::ShareOutbox::recordPaths().size();
    tapView(window, *viewer->bbarShareButton());
    clock_.wait(kSheetSettle);
    const auto share = std::dynamic_pointer_cast<store::ActivityViewController>(
        navigation->presentedViewController());
    if (!share) return written;
    clock_.waitUntil([&] { return store::ShareOutbox::recordPaths().size() > recordsBefore; },
                     kOutboxLimit);
    const auto image = newestSharedImage();
    if (!image.empty() && !outputFolder_.empty()) {
        // A copy that everyone may read, like the tour's other pictures (the
        // outbox keeps its own to the user).
        const auto target = outputFolder_ / "share-image.png";
        const auto bytes = core::FileManager::readFile(image.string());
        if (bytes && core::FileManager::writeAtomically(target.string(), bytes.value(),
                                                        core::Visibility::everyone)) {
            std::printf("  %s\n", target.string().c_str());
            ++written;
        }
    }
    if (share->cancelButton()) tapView(window, *share->cancelButton());
    clock_.wait(kSheetSettle);
    return written;
}

}  // namespace tools
