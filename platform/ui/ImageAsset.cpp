#include "ui/ImageAsset.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/Bundle.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "ui/DeviceProfile.h"

namespace ui {

namespace {

struct Cache {
    std::mutex mutex;
    std::unordered_map<std::string, gfx::ImagePtr> images;
};

Cache& cache() {
    static Cache* const shared = new Cache;
    return *shared;
}

// File names to try, without ".png", each with the scale its suffix means.
std::vector<std::pair<std::string, int>> candidates(const std::string& name, int deviceScale) {
    std::vector<std::pair<std::string, int>> names;
    for (const int scale : {deviceScale, 2, 3}) {
        std::string file = name + "@" + std::to_string(scale) + "x";
        bool seen = false;
        for (const auto& [existing, s] : names) seen = seen || existing == file;
        if (!seen) names.emplace_back(std::move(file), scale);
    }
    names.emplace_back(name, 1);
    return names;
}

gfx::ImagePtr load(const std::string& name, int deviceScale, const core::Bundle& bundle) {
    for (const auto& [file, scale] : candidates(name, deviceScale)) {
        const auto path = bundle.pathForResource(file, "png", "images");
        if (!path) continue;
        const auto bytes = core::FileManager::readFile(*path);
        if (!bytes) {
            core::Console::log("imageNamed: " + bytes.error());
            return nullptr;
        }
        const auto& data = bytes.value();
        gfx::Image::DecodeOptions options;
        options.scale = scale;
        std::string error;
        auto image = gfx::Image::decode(
            {reinterpret_cast<const std::uint8_t*>(data.data()), data.size()}, &error, options);
        if (!image) core::Console::log("imageNamed: " + *path + ": " + error);
        return image;
    }
    return nullptr;
}

}  // namespace

gfx::ImagePtr imageNamed(const std::string& name) {
    return imageNamed(name, *core::Bundle::main());
}

gfx::ImagePtr imageNamed(const std::string& name, const core::Bundle& bundle) {
    std::string base = name;
    if (base.size() > 4 && base.ends_with(".png")) base.resize(base.size() - 4);
    if (base.empty()) return nullptr;
    const int deviceScale =
        std::max(1, static_cast<int>(std::lround(DeviceProfile::current().scale)));
    const std::string key =
        bundle.resourcePath() + '\n' + std::to_string(deviceScale) + '\n' + base;
    {
        std::lock_guard lock(cache().mutex);
        const auto found = cache().images.find(key);
        if (found != cache().images.end()) return found->second;
    }
    auto image = load(base, deviceScale, bundle);
    if (!image) return nullptr;
    std::lock_guard lock(cache().mutex);
    // Another thread may have loaded it meanwhile: keep the first one.
    return cache().images.emplace(key, std::move(image)).first->second;
}

}  // namespace ui
