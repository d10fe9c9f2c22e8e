#include "ads/foundation/DZDeviceHost.h"

#include "ads/core/app/DZApplication.h"
#include "core/Bundle.h"
#include "ui/Application.h"
#include "ui/Window.h"

namespace ads {

namespace {

class PlatformDeviceHost final : public DZDeviceHost {
public:
    std::optional<gfx::Size> mainWindowSize() const override {
        const std::shared_ptr<ui::Window> window = DZApplication::sharedInstance()->mainWindow();
        if (!window) return std::nullopt;
        return window->frame().standardized().size;
    }

    unsigned long mainWindowSupportedInterfaceOrientations() const override {
        return DZApplication::sharedInstance()->mainWindowSupportedInterfaceOrientations();
    }

    unsigned long supportedInterfaceOrientationsForMainWindow() const override {
        const auto window = DZApplication::sharedInstance()->mainWindow();
        return ui::Application::shared().supportedInterfaceOrientationsForWindow(window.get());
    }

    core::Value iTunesMetadata() const override { return DZApplication::iTunesMetadata(); }

    core::Value infoDictionary() const override {
        const auto bundle = core::Bundle::main();
        return bundle ? bundle->infoDictionary() : core::Value(core::Dictionary());
    }

    std::optional<std::string> version() const override {
        const auto bundle = core::Bundle::main();
        if (!bundle) return std::nullopt;
        const core::Value& version = bundle->objectForInfoDictionaryKey("CFBundleVersion");
        if (!version.isString()) return std::nullopt;
        return *version.string();
    }

    std::string mainBundleIdentifier() const override {
        const auto bundle = core::Bundle::main();
        if (!bundle) return {};
        const core::Value& identifier = bundle->objectForInfoDictionaryKey("CFBundleIdentifier");
        return identifier.isString() ? *identifier.string() : std::string();
    }

    std::string jailbreakMarkerPath() const override { return "/var/lib/vantor/unlocked-system"; }
};

}  // namespace

std::shared_ptr<DZDeviceHost> DZDeviceHost::platform() {
    return std::make_shared<PlatformDeviceHost>();
}

}  // namespace ads
