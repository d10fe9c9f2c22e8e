#include "store/PhotoAlbum.h"

#include <algorithm>
#include <cstdio>

#include "core/FileManager.h"
#include "core/Queue.h"

namespace store {

namespace {

constexpr std::string_view kPrefix = "IMG_";
constexpr std::string_view kExtension = ".jpg";

const std::shared_ptr<core::Queue>& albumQueue() {
    static const auto queue = core::Queue::serial("store.album");
    return queue;
}

// The number of an "IMG_<digits>.jpg" name, or none.
std::optional<long> imageNumber(const std::string& name) {
    if (name.size() <= kPrefix.size() + kExtension.size() || !name.starts_with(kPrefix) ||
        !name.ends_with(kExtension))
        return std::nullopt;
    const std::string digits =
        name.substr(kPrefix.size(), name.size() - kPrefix.size() - kExtension.size());
    if (digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stol(digits);
}

std::vector<std::string> imageNames(const std::string& folder) {
    auto names = core::FileManager::contentsOfDirectory(folder);
    if (!names) return {};
    std::vector<std::string> images;
    for (const auto& name : names.value())
        if (imageNumber(name)) images.push_back(name);
    return images;
}

std::string nextName(const std::string& folder) {
    long last = 0;
    for (const auto& name : imageNames(folder)) last = std::max(last, *imageNumber(name));
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04ld.jpg", last + 1);
    return name;
}

}  // namespace

PhotoAlbum& PhotoAlbum::shared() {
    static PhotoAlbum album;
    return album;
}

std::string PhotoAlbum::folderPath() {
    return core::FileManager::folderPath(core::Folder::Album);
}

std::vector<std::string> PhotoAlbum::imagePaths() {
    const std::string folder = folderPath();
    std::vector<std::string> paths;
    for (const auto& name : imageNames(folder)) paths.push_back(folder + "/" + name);
    std::sort(paths.begin(), paths.end());
    return paths;
}

void PhotoAlbum::setRefusalForTesting(std::optional<AlbumError> refusal) {
    const std::lock_guard lock(mutex_);
    refusal_ = std::move(refusal);
}

void PhotoAlbum::writeImage(gfx::ImagePtr image, Completion completion) {
    std::optional<AlbumError> refusal;
    {
        const std::lock_guard lock(mutex_);
        refusal = refusal_;
    }
    albumQueue()->async([image = std::move(image), completion = std::move(completion), refusal] {
        std::optional<AlbumError> error = refusal;
        if (!error) {
            error = image
                        ? store(*image)
                        : AlbumError{AlbumError::Code::InvalidImage, "There is no image to save."};
        }
        if (completion) core::Queue::main()->async([completion, error] { completion(error); });
    });
}

std::optional<AlbumError> PhotoAlbum::store(const gfx::Image& image) {
    const auto bytes = image.encodeJpeg(kJpegQuality);
    if (bytes.empty())
        return AlbumError{AlbumError::Code::InvalidImage, "The image could not be encoded."};
    const auto folder = core::FileManager::createFolder(core::Folder::Album);
    if (!folder) return AlbumError{AlbumError::Code::WriteFailed, folder.error()};
    const std::string path = folder.value() + "/" + nextName(folder.value());
    if (auto written = core::FileManager::writeAtomically(path, bytes); !written)
        return AlbumError{AlbumError::Code::WriteFailed, written.error()};
    return std::nullopt;
}

}  // namespace store
