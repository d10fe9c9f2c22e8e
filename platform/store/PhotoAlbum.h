#pragma once
// The device's photo album: the album folder of the app home
// (core::Folder::Album), or the folder set in its place (the desktop window
// saves into the desktop's pictures folder). Each image is encoded as a JPEG
// (quality kJpegQuality; photos need no alpha, and a camera roll holds
// JPEGs) and written to a temporary file, then linked to the next free name
// "IMG_0001.jpg", "IMG_0002.jpg", ...: the folder never shows a partial
// file, and a file already there (another program's, or one written since
// the name was picked) is never replaced. In the home the files are the
// owner's alone; in a folder set in its place they are everyone's to read,
// as other pictures there are. Writes run one at a time on the album's own
// serial queue; the
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

    // The folder set in place of the home's, else the album folder inside
    // the app home (read on every call).
    [[nodiscard]] static std::string folderPath();
    // Where the album writes instead of the home; empty: the home again.
    static void setFolderOverride(std::string folder);
    // "Vantor" in the desktop's pictures folder: GLib's user special folder
    // for pictures, else ~/Pictures.
    [[nodiscard]] static std::string desktopPicturesFolder();
    // Full paths of the album's images, oldest name first.
    [[nodiscard]] static std::vector<std::string> imagePaths();

    // With a refusal set, every write fails with it and writes nothing.
    void setRefusalForTesting(std::optional<AlbumError> refusal);

private:
    PhotoAlbum() = default;
    [[nodiscard]] static std::optional<AlbumError> store(const gfx::Image& image);
    // Publishes the written temporary file under the next free name.
    [[nodiscard]] static std::optional<AlbumError> publish(const std::string& folder,
                                                           const std::string& temporary);

    mutable std::mutex mutex_;
    std::optional<AlbumError> refusal_;
};

}  // namespace store
