#pragma once
// Shared constants of the app, the screen metrics taken once, and the toast:
// a title-only alert that dismisses itself after the given seconds.

#include <memory>
#include <string>

namespace ui {
class ViewController;
}

namespace app {

struct CommonNotificationKeys {
    // Posted after every change of the favourites.
    static constexpr const char* COLLECT_STATUS_CHANGED = "COLLECT_STATUS_CHANGED";
};

struct CommonFontName {
    static constexpr const char* tabTitle = "sucaijishikangkangti";
    static constexpr const char* quote = "Source Han Serif CN";
};

struct CommonUserDefaultKeys {
    static constexpr const char* userLanguage = "UserLanguage";
    static constexpr const char* discoveryHistory = "DISCOVERY_HISTORY";
    static constexpr const char* discoveryPopularHistory = "DISCOVERY_POPULAR_HISTORY";
    static constexpr const char* searchHistory = "SEARCH_HISTORY";
    static constexpr const char* userCollectPhotos = "USER_COLLECT_PHOTOS";
    static constexpr const char* searchKeyword = "USR_DEF_KEY_SEARCH_KEYWORD";
};

// Metrics of the first window, each taken at its first use and kept.
struct CommonValues {
    static double safeAreaBottomInset();
    static double safeAreaTopInset();
    static double statusBarHeight();
    static bool isIPhoneX();
};

class Common {
public:
    static Common& shared();
    void commonToast(const std::shared_ptr<ui::ViewController>& controller, const std::string& message,
                     double delay);

private:
    Common() = default;
};

// Presents message as a title-only alert on controller and dismisses it
// delay seconds later on the main queue.
void showToast(const std::string& message, const std::shared_ptr<ui::ViewController>& controller,
               double delay);
// The same, but while the screen (its outermost parent) presents something,
// such as another toast, the toast waits for it to go; waiting toasts show
// in the order they were asked for. A toast whose screen is gone is dropped.
void showToastWhenFree(const std::string& message,
                       const std::shared_ptr<ui::ViewController>& controller, double delay);

}  // namespace app
