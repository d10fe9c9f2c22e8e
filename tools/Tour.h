#pragma once
// The scripted walk through the feeds that the headless tool records: the
// explore feed after its first page, a refresh and a load-more; the
// featured feed with its banner rows; the favourites page; a search with
// results; the photo viewer during and after its full download, zoomed, with
// a quote, and the favourites page once that photo was added. Each step
// moves the app's clock (AppClock) and writes one PNG.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/AppDelegate.h"
#include "app/vc/PhotoViewController.h"
#include "fixtures/AppClock.h"

namespace tools {

class Tour {
public:
    using Shoot = std::function<bool(const std::filesystem::path& name)>;

    Tour(std::shared_ptr<app::AppDelegate> app, fixtures::AppClock& clock, Shoot shoot);
    // Asked with the full-image URL of the photo the viewer steps open, so
    // that the local service can hold it part-way and the progress shows;
    // `resume` lets it go on once the downloading shot is taken.
    void setSlowDownload(std::function<void(const std::string& fullUrl)> slow,
                         std::function<void()> resume) {
        slowDownload_ = std::move(slow);
        resumeDownload_ = std::move(resume);
    }
    // Where files other than window shots go (the shared image).
    void setOutputFolder(std::filesystem::path folder) { outputFolder_ = std::move(folder); }
    // Takes featured-ad-rows.png in place of the tour's own shot, once the
    // feed has its banner rows; answers whether it wrote it.
    void setAdRowsShot(std::function<bool()> shot) { adRowsShot_ = std::move(shot); }
    // Runs every step; answers the number of images written.
    size_t run();

private:
    void showPage(size_t index);
    size_t exploreSteps();
    size_t featuredSteps();
    size_t searchSteps();
    size_t viewerSteps();
    // TourShare.cpp: the save size sheet and the composed share image.
    size_t saveShareSteps(const std::shared_ptr<app::PhotoViewController>& viewer);
    // TourAbout.cpp: the about page.
    size_t aboutSteps();

    std::shared_ptr<app::AppDelegate> app_;
    fixtures::AppClock& clock_;
    Shoot shoot_;
    std::function<void(const std::string&)> slowDownload_;
    std::function<void()> resumeDownload_;
    std::function<bool()> adRowsShot_;
    std::filesystem::path outputFolder_;
};

}  // namespace tools
