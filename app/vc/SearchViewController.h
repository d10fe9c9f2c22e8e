#pragma once
// The search screen: searches the photo service by keyword and shows the
// results as a three-column waterfall, one page of 30 at a time as the user
// scrolls to the bottom. It keeps the last keyword in the user defaults store
// and shows the stored first page of the last search until the user searches
// again. Every keyword is searched, the empty one too; a search that finds
// nothing keeps the grid and the stored first page.
//
// Only the latest search counts: an answer to an earlier search (or to one
// of its load-more pages) that arrives after a newer search has started is
// dropped, so it never replaces the newer results or their stored first
// page. Main thread, except the read of the stored keyword when the view
// loads.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/services/Common.h"
#include "app/utils/WaterCollectionViewLayout.h"
#include "app/vc/BaseContentViewController.h"
#include "core/HTTPClient.h"
#include "ui/AlertController.h"
#include "ui/CollectionView.h"
#include "ui/SearchBar.h"

namespace app {

class SearchViewController : public BaseContentViewController,
                             public ui::CollectionViewDataSource,
                             public ui::CollectionViewDelegate,
                             public ui::SearchBarDelegate {
public:
    static constexpr const char* USR_DEF_KEY_SEARCH_KEYWORD = CommonUserDefaultKeys::searchKeyword;
    static constexpr const char* kCellIdentifier = "newCell";
    static constexpr std::int64_t kPerPage = 30;
    static constexpr double kSearchBarHeight = 60;
    // Empty pages are followed by the next page up to this one; an empty
    // page from here on tells the user that nothing was found.
    static constexpr std::int64_t kLastEmptyPage = 3;

    // The screen the explore feed's search button pushes: the photo list
    // address and the history key "SEARCH_HISTORY".
    [[nodiscard]] static std::shared_ptr<SearchViewController> create(std::string urlString);

    SearchViewController(std::string urlString, std::string historyKey);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidLayoutSubviews() override;
    [[nodiscard]] bool prefersStatusBarHidden() const override { return true; }

    // Shows the load-more band and asks for page currentPageIndex of the
    // current keyword.
    void showLoadingMore() override;
    void showHistoryPhotos(const PhotoList& photos) override;

    // Sends one request; a new search makes every earlier answer stale.
    void searchPhotos(const std::string& keyword, std::int64_t page, bool isNewSearch);
    // Pushes the photo viewer on a tapped photo; the navigation delegate
    // the explore feed set stays in place.
    void openPhoto(size_t index);

    // ui::SearchBarDelegate
    void searchBarSearchButtonClicked(ui::SearchBar& searchBar) override;
    void searchBarCancelButtonClicked(ui::SearchBar& searchBar) override;

    // ui::CollectionViewDataSource
    [[nodiscard]] int numberOfItemsInSection(ui::CollectionView& view, int section) override;
    [[nodiscard]] std::shared_ptr<ui::CollectionViewCell> cellForItemAtIndexPath(
        ui::CollectionView& view, const ui::IndexPath& indexPath) override;

    // ui::CollectionViewDelegate and its scrolling
    void didSelectItemAtIndexPath(ui::CollectionView& view,
                                  const ui::IndexPath& indexPath) override;
    void scrollViewDidScroll(ui::ScrollView& scrollView) override;
    void scrollViewWillBeginDragging(ui::ScrollView& scrollView) override;
    void scrollViewDidEndDecelerating(ui::ScrollView& scrollView) override;

    [[nodiscard]] const core::HTTPHeaderList& headers() const { return headers_; }
    [[nodiscard]] const PhotoList& imageDataSources() const { return imageDataSources_; }
    [[nodiscard]] const std::shared_ptr<ui::CollectionView>& collectionView() const {
        return collectionView_;
    }
    [[nodiscard]] const std::shared_ptr<ui::SearchBar>& searchBar() const { return searchBar_; }
    [[nodiscard]] const std::shared_ptr<WaterCollectionViewLayout>& waterLayout() const {
        return waterLayout_;
    }
    [[nodiscard]] const std::string& searchKeyword() const { return searchKeyword_; }
    [[nodiscard]] double lastScrollOffset() const { return lastScrollOffset_; }
    // The "searching" alert while it is shown.
    [[nodiscard]] const std::shared_ptr<ui::AlertController>& searchingAlert() const {
        return searchingAlert_;
    }

private:
    [[nodiscard]] std::shared_ptr<SearchViewController> self();

    void setupSearchViews();
    void layoutSearchViews();
    void restoreSearchKeyword();
    void searchFromBar();

    void handleSearchResponse(const core::HTTPResult<core::Value>& result, std::uint64_t search,
                              std::int64_t page, bool isNewSearch);
    [[nodiscard]] PhotoList photosFrom(const core::Value& json, bool isNewSearch) const;
    void takePhotos(const PhotoList& batch, std::int64_t page, bool isNewSearch);
    void showSearchError(const std::optional<core::HTTPClientError>& error);
    void endLoading();
    // Points the layout at imageDataSources and sets it on the grid again.
    void attachLayout();
    void reloadGrid();
    void autoScroll(double y);
    void loadMoreAtBottom();

    void presentSearchingAlert();
    void dismissSearchingAlert();

    core::HTTPHeaderList headers_;
    PhotoList imageDataSources_;
    std::shared_ptr<ui::CollectionView> collectionView_;
    std::shared_ptr<ui::SearchBar> searchBar_;
    std::shared_ptr<WaterCollectionViewLayout> waterLayout_;
    std::string searchKeyword_;

    // Counts new searches; an answer carries the count it was sent under.
    std::uint64_t searchGeneration_ = 0;
    std::shared_ptr<ui::AlertController> searchingAlert_;
};

}  // namespace app
