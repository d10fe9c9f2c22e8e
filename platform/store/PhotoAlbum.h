#pragma once
// The device's photo album: the album folder of the app home
// (core::Folder::Album). Each image is encoded as a JPEG (quality
// kJpegQuality; photos need no alpha, and a camera roll holds JPEGs) and
// written through a temporary file renamed to the next free name
// "IMG_0001.jpg", "IMG_0002.jpg", ..., so the folder never shows a partial
// file. Writes run one at a time on the album's own serial queue; the
// completion runs afterwards on the main queue with the error, or none on
// success. Tests may make the album refuse every write as a user who denied
// access would. Thread-safe.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gfx/Image.h"
#include "store/AlbumError.h"

namespace store {

class PhotoAlbum {
public:
    using Completion = std::function<void(const std::optional<AlbumError>& error)>;

    static constexpr double kJpegQuality = 0.92;

    [[nodiscard]] static PhotoAlbum& shared();

    void writeImage(gfx::ImagePtr image, Completion completion);

    // The album folder inside the app home (read on every call).
    [[nodiscard]] static std::string folderPath();
    // Full paths of the album's images, oldest name first.
    [[nodiscard]] static std::vector<std::string> imagePaths();

    // With a refusal set, every write fails with it and writes nothing.
    void setRefusalForTesting(std::optional<AlbumError> refusal);

private:
    PhotoAlbum() = default;
    [[nodiscard]] static std::optional<AlbumError> store(const gfx::Image& image);

    mutable std::mutex mutex_;
    std::optional<AlbumError> refusal_;
};

}  // namespace store
