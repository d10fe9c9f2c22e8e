// DZApplication: what the SDK asks about the host application (windows,
// view controllers, orientations, the store metadata) and URL opening.

#include <filesystem>
#include <mutex>

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZThreading.h"
#include "ads/presentation/fullscreen/DZAdAppViewController.h"
#include "core/FileManager.h"
#include "core/JSON.h"
#include "core/UserDefaults.h"
#include "store/URLOpener.h"
#include "ui/Application.h"
#include "ui/DeviceProfile.h"
#include "ui/ViewController.h"
#include "ui/Window.h"

namespace ads {

namespace {

constexpr const char* kSplitScreenKey = "/dozuza/ads/application_supports_split_screen";
constexpr const char* kStrictLinkOptionKey = "/dozuza/ads/strict_universal_links_option_name";

std::shared_ptr<ui::ViewController> lastPresented(std::shared_ptr<ui::ViewController> controller) {
    while (controller) {
        auto presented = controller->presentedViewController();
        if (!presented) break;
        controller = std::move(presented);
    }
    return controller;
}

bool opensWithOptions() {
    return ui::DeviceProfile::current().isSystemVersionAtLeast(10, 0, 0);
}

}  // namespace

std::optional<std::string> DZApplication::iTunesMetadataPath() {
    const std::string documents = core::FileManager::folderPath(core::Folder::Documents);
    if (documents.empty()) return std::nullopt;
    const auto path = std::filesystem::path(documents) / ".." / "iTunesMetadata.plist";
    return path.lexically_normal().string();
}

core::Dictionary DZApplication::iTunesMetadataAt(const std::string& path) {
    const auto text = core::FileManager::readFile(path);
    if (!text) return {};
    const auto value = core::JSON::parse(text.value());
    if (!value || !value->isDictionary()) return {};
    return *value->dictionary();
}

const core::Dictionary& DZApplication::iTunesMetadata() {
    static const core::Dictionary* const metadata = [] {
        const auto path = iTunesMetadataPath();
        return new core::Dictionary(path ? iTunesMetadataAt(*path) : core::Dictionary());
    }();
    return *metadata;
}

std::shared_ptr<ui::Window> DZApplication::placeholderWindow() {
    static const auto* const window =
        new std::shared_ptr<ui::Window>(std::make_shared<ui::Window>());
    return *window;
}

std::shared_ptr<ui::Window> DZApplication::mainWindow() const {
    ui::Application& application = ui::Application::shared();
    if (auto key = application.keyWindow()) return key;
    if (const auto delegate = application.delegate()) return delegate->window();
    return nullptr;
}

std::shared_ptr<ui::ViewController> DZApplication::topViewController() const {
    const auto window = mainWindow();
    return window ? lastPresented(window->rootViewController()) : nullptr;
}

long DZApplication::topViewControllerOrientation() const {
    ui::Application& application = ui::Application::shared();
    long orientation = application.statusBarOrientation();
    const auto key = application.keyWindow();
    const auto top = key ? lastPresented(key->rootViewController()) : nullptr;
    if (const auto ad = std::dynamic_pointer_cast<DZAdAppViewController>(top)) {
        if (const long forced = ad->forcedAdOrientation(); forced != 0) orientation = forced;
    }
    return orientation;
}

bool DZApplication::isSplitScreenEnabled() const {
    return core::UserDefaults::standard()->objectForKey(kSplitScreenKey).boolValue();
}

std::uint64_t DZApplication::mainWindowSupportedInterfaceOrientations() const {
    ui::Application& application = ui::Application::shared();
    const auto window = mainWindow();
    if (!isSplitScreenEnabled()) {
        if (const auto delegate = application.delegate()) {
            const auto mask =
                delegate->supportedInterfaceOrientationsForWindow(application, window.get());
            if (mask && *mask != 0) return *mask;
        }
    }
    return application.supportedInterfaceOrientationsForWindow(window.get());
}

bool DZApplication::supportsOrientations(std::uint64_t mask) {
    DZRunOnMainThread([weak = weak_from_this()] {
        const auto self = weak.lock();
        if (!self) return;
        const std::uint64_t current = self->mainWindowSupportedInterfaceOrientations();
        self->lockQueue_->async(
            [self, current] { self->mainWindowSupportedInterfaceOrientations_ = current; });
    });
    std::uint64_t stored = 0;
    syncOnLockQueue([&] { stored = mainWindowSupportedInterfaceOrientations_; });
    return (stored & mask) != 0;
}

void DZApplication::openURL(const core::URL& url) {
    store::URLOpener& opener = store::URLOpener::shared();
    if (opensWithOptions()) {
        opener.open(url, core::Dictionary(), nullptr);
    } else {
        (void)opener.open(url);
    }
}

void DZApplication::openURL(const core::URL& url, bool strictUniversalLink,
                            std::function<void(bool)> completion) {
    const bool strict = strictUniversalLink && (url.hasScheme("http") || url.hasScheme("https"));
    store::URLOpener& opener = store::URLOpener::shared();
    if (opensWithOptions()) {
        core::Dictionary options;
        if (strict) {
            const auto name = core::UserDefaults::standard()->stringForKey(kStrictLinkOptionKey);
            options.set(name.value_or(store::URLOpener::kUniversalLinksOnlyOption), true);
        }
        opener.open(url, options, std::move(completion));
        return;
    }
    core::Queue::main()->async([url, strict, completion = std::move(completion)] {
        const bool opened = !strict && store::URLOpener::shared().open(url);
        if (completion) completion(opened);
    });
}

}  // namespace ads
