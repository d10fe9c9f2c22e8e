#include "app/services/AppConfiguration.h"

#include <cstdlib>
#include <mutex>

#include "core/Bundle.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "core/JSON.h"

namespace app {

namespace {
std::mutex gMutex;
AppConfiguration* gCurrent = nullptr;

std::string fromEnv(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

// resources/Configuration.json; empty when missing or unreadable.
core::Value bundledConfiguration() {
    const auto path = core::Bundle::main()->pathForResource("Configuration", "json");
    if (!path) return {};
    auto text = core::FileManager::readFile(*path);
    if (!text) return {};
    core::JSONError error;
    auto value = core::JSON::parse(text.value(), {}, &error);
    if (!value || !value->isDictionary()) {
        core::Console::log("Configuration.json is not readable: " + error.message);
        return {};
    }
    return *value;
}

std::string setting(const core::Value& bundled, const char* key, const char* fallback) {
    const core::Value& value = bundled[key];
    return value.isString() && !value.string()->empty() ? *value.string() : fallback;
}
}  // namespace

AppConfiguration AppConfiguration::fromEnvironment() {
    const core::Value bundled = bundledConfiguration();
    return AppConfiguration{
        fromEnv("VANTOR_PHOTO_API", setting(bundled, "photoAPIBase", "https://api.unsplash.com")),
        fromEnv("VANTOR_PHOTO_WEB", setting(bundled, "photoWebBase", "https://unsplash.com")),
        fromEnv("VANTOR_QUOTE_URL", setting(bundled, "quoteURL", "https://v1.hitokoto.cn/?c=d"))};
}

std::string AppConfiguration::photoAccessTokenFromEnvironment() {
    return fromEnv("VANTOR_PHOTO_TOKEN", "");
}

const AppConfiguration& AppConfiguration::current() {
    std::lock_guard lock(gMutex);
    if (!gCurrent) gCurrent = new AppConfiguration(fromEnvironment());
    return *gCurrent;
}

void AppConfiguration::set(AppConfiguration configuration) {
    std::lock_guard lock(gMutex);
    if (!gCurrent) gCurrent = new AppConfiguration(std::move(configuration));
    else *gCurrent = std::move(configuration);
}

}  // namespace app
