#include "app/AppDelegate.h"

#include "ads/core/app/DZMobileAds.h"
#include "app/services/AppConfiguration.h"
#include "app/services/Common.h"
#include "app/services/LocalizableHelper.h"
#include "app/vc/AboutViewController.h"
#include "app/vc/CollectedViewController.h"
#include "app/vc/ViewController.h"
#include "app/vc/WaterfallViewController.h"
#include "core/Console.h"
#include "ui/DeviceProfile.h"
#include "ui/ImageManager.h"
#include "ui/NavigationController.h"

namespace app {

bool AppDelegate::didFinishLaunching(ui::Application&) {
    window_ = std::make_shared<ui::Window>(ui::DeviceProfile::current().screenBounds());

    LocalizableHelper& language = LocalizableHelper::shared();
    language.setupLanguageBundle();

    auto explore = std::make_shared<WaterfallViewController>(
        AppConfiguration::current().photoListURL(), CommonUserDefaultKeys::discoveryHistory);
    explore->setTitle(language.localizedString("explore"));
    auto featured =
        std::make_shared<ViewController>("", CommonUserDefaultKeys::discoveryPopularHistory);
    featured->setTitle(language.localizedString("featured"));
    auto favourites =
        std::make_shared<CollectedViewController>("", CommonUserDefaultKeys::userCollectPhotos);
    favourites->setTitle(language.localizedString("collection"));
    auto about = std::make_shared<AboutViewController>();
    about->setTitle(language.localizedString("setting"));

    qzTabVc_ = QZTabViewController::create({explore, featured, favourites, about}, 0, 0.0);
    auto navigation = ui::NavigationController::create(qzTabVc_);

    window_->setBackgroundColor(gfx::Color::black());
    window_->setRootViewController(navigation);
    window_->makeKeyAndVisible();

    ui::ImageManager& images = ui::ImageManager::shared();
    images.downloader().setDownloadTimeout(kImageDownloadTimeout);
    images.downloader().setMaximumDownloadBytes(kImageMaximumBytes);
    images.cache().setMaxDiskCacheSize(kImageDiskCacheSize);
    images.cache().setMaxCachePeriodInSecond(kImageCacheAge);

    core::Console::log("##### release mode #####");
    ads::DZMobileAds::configureWithApplicationID(kAdApplicationID);
    return true;
}

}  // namespace app
