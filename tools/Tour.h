#pragma once
// The scripted walk through the feeds that the headless tool records: the
// explore feed after its first page, a refresh and a load-more; the
// featured feed with its banner rows; the favourites page; a search with
// results. Each step settles on real time and writes one PNG.

#include <filesystem>
#include <functional>
#include <memory>

#include "app/AppDelegate.h"

namespace tools {

class Tour {
public:
    using Shoot = std::function<bool(const std::filesystem::path& name)>;

    Tour(std::shared_ptr<app::AppDelegate> app, Shoot shoot);
    // Runs every step; answers the number of images written.
    size_t run();

private:
    void showPage(size_t index);
    size_t exploreSteps();
    size_t featuredSteps();
    size_t searchSteps();

    std::shared_ptr<app::AppDelegate> app_;
    Shoot shoot_;
};

// Runs the main loop for seconds of real time.
void settle(double seconds);
// Runs the main loop until the predicate holds or limitSeconds pass.
bool settleUntil(const std::function<bool()>& predicate, double limitSeconds);

}  // namespace tools
