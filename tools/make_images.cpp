// make_images <folder>: draws the app bundle's images and writes each one as
// "<name>@2x.png" and "<name>@3x.png" into folder, creating it when missing.
// The PNGs are kept in resources/images; run this after changing a drawing.

#include <cstdio>
#include <string>

#include "ResourceImages.h"
#include "core/FileManager.h"
#include "gfx/Bitmap.h"

namespace {

constexpr int kScales[] = {2, 3};

bool writeImage(const tools::ResourceImage& image, int scale, const std::string& folder) {
    const std::string path = folder + "/" + image.name + "@" + std::to_string(scale) + "x.png";
    const auto bitmap = gfx::Bitmap::create(image.points, scale);
    if (!bitmap) {
        std::fprintf(stderr, "make_images: %s: size out of range\n", path.c_str());
        return false;
    }
    image.draw(bitmap->canvas());
    const auto png = bitmap->makeImage()->encodePng();
    if (png.empty()) {
        std::fprintf(stderr, "make_images: %s: PNG encoding failed\n", path.c_str());
        return false;
    }
    if (const auto written =
            core::FileManager::writeAtomically(path, png, core::Visibility::everyone);
        !written) {
        std::fprintf(stderr, "make_images: %s\n", written.error().c_str());
        return false;
    }
    std::printf("%s (%dx%d)\n", path.c_str(), bitmap->pixelWidth(), bitmap->pixelHeight());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_images <output folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    if (const auto made =
            core::FileManager::createDirectory(folder, true, core::Visibility::everyone);
        !made) {
        std::fprintf(stderr, "make_images: %s\n", made.error().c_str());
        return 1;
    }
    bool ok = true;
    for (const auto& image : tools::resourceImages()) {
        for (const int scale : kScales) ok = writeImage(image, scale, folder) && ok;
    }
    return ok ? 0 : 1;
}
