#include "app/services/AppConfiguration.h"

#include <cstdlib>
#include <mutex>

namespace app {

namespace {
std::mutex gMutex;
AppConfiguration* gCurrent = nullptr;

std::string fromEnv(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}
}  // namespace

AppConfiguration AppConfiguration::fromEnvironment() {
    return AppConfiguration{fromEnv("VANTOR_PHOTO_API", "https://api.unsplash.com"),
                            fromEnv("VANTOR_PHOTO_WEB", "https://unsplash.com"),
                            fromEnv("VANTOR_QUOTE_URL", "https://v1.hitokoto.cn/?c=d")};
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
