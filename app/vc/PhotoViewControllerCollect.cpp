#include "app/services/Common.h"
#include "app/vc/PhotoViewController.h"
#include "core/Console.h"
#include "core/NotificationCenter.h"
#include "core/Queue.h"
#include "core/UserDefaults.h"
#include "ui/ImageAsset.h"

namespace app {

namespace {

// Every read-change-store of the favourites runs here, one after another.
const std::shared_ptr<core::Queue>& favouritesQueue() {
    static const auto queue = core::Queue::serial("app.favourites");
    return queue;
}

std::optional<core::Array> storedFavourites() {
    return core::UserDefaults::standard()->arrayForKey(CommonUserDefaultKeys::userCollectPhotos);
}

void storeFavourites(core::Array list) {
    core::UserDefaults::standard()->setObject(CommonUserDefaultKeys::userCollectPhotos,
                                              core::Value(std::move(list)));
}

// The first record whose "small" is smallUrl; records that are not text
// dictionaries are passed over.
std::optional<size_t> favouriteIndex(const core::Array& list, const std::string& smallUrl) {
    for (size_t i = 0; i < list.size(); ++i) {
        const auto* record = list[i].dictionary();
        if (!record) continue;
        const auto* small = record->find("small");
        if (small && small->string() && *small->string() == smallUrl) return i;
    }
    return std::nullopt;
}

}  // namespace

bool PhotoViewController::isCollected() const {
    const auto list = storedFavourites();
    if (!list) {
        core::Console::log("none collects");
        return false;
    }
    if (!po_) {
        core::Console::log("po.small url is nil !! return !!");
        return false;
    }
    if (!favouriteIndex(*list, po_->smallUrl)) return false;
    core::Console::log("have collects");
    return true;
}

void PhotoViewController::checkFavouriteAtOpen() {
    core::Queue::main()->after(kFavouriteDelay, [weak = weakSelf()] {
        favouritesQueue()->async([weak] {
            const auto screen = weak.lock();
            if (!screen || !screen->isCollected()) return;
            core::Queue::main()->async([weak] {
                if (auto strong = weak.lock())
                    strong->bbarCollectButton_->setImage(ui::imageNamed("heart_F"));
            });
        });
    });
}

void PhotoViewController::collectAction() {
    collectPhoto();
}

void PhotoViewController::collectPhoto() {
    if (!fullImage_) {
        showMessage(kNotDownloadedText, kToastSeconds);
        return;
    }
    core::Queue::main()->after(kFavouriteDelay, [screen = self()] {
        favouritesQueue()->async([screen] { (void)screen->toggleCollect(); });
    });
}

bool PhotoViewController::toggleCollect() {
    auto list = storedFavourites();
    bool collected = false;
    if (!list) {
        addToCollection(std::nullopt);
        collected = po_ != nullptr;
    } else if (!po_) {
        core::Console::log("po.small url is nil !! return !!");
        return false;
    } else if (const auto index = favouriteIndex(*list, po_->smallUrl)) {
        list->erase(list->begin() + static_cast<std::ptrdiff_t>(*index));
        storeFavourites(std::move(*list));
        updateCollectButton(false);
        core::Console::log("have collects");
    } else {
        addToCollection(std::move(list));
        collected = true;
        core::Console::log("have collects");
    }
    core::Queue::main()->async([] {
        core::NotificationCenter::defaultCenter().post(
            CommonNotificationKeys::COLLECT_STATUS_CHANGED);
    });
    return collected;
}

void PhotoViewController::addToCollection(std::optional<core::Array> list) {
    if (!po_) {
        core::Console::log("small url is nil, can't collect!!");
        return;
    }
    core::Array updated = list ? std::move(*list) : core::Array{};
    updated.push_back(po_->favouriteRecord());
    storeFavourites(std::move(updated));
    updateCollectButton(true);
}

void PhotoViewController::updateCollectButton(bool collected) {
    showMessage(collected ? kCollectedText : kUncollectedText, kToastSeconds);
    core::Queue::main()->async([weak = weakSelf(), collected] {
        if (auto screen = weak.lock())
            screen->bbarCollectButton_->setImage(ui::imageNamed(collected ? "heart_F" : "heart_L"));
    });
}

}  // namespace app
