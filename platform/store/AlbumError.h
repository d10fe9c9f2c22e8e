#pragma once
// Why the photo album did not take an image: the user denied access, the
// image had no pixels, or the file could not be written (no space, no
// permission on the folder); `description` is the text shown to the user.

#include <string>

namespace store {

struct AlbumError {
    enum class Code { AccessDenied, InvalidImage, WriteFailed };

    Code code = Code::WriteFailed;
    std::string description;

    [[nodiscard]] static AlbumError accessDenied() {
        return {Code::AccessDenied, "The user has denied this app access to the photo album."};
    }

    friend bool operator==(const AlbumError&, const AlbumError&) = default;
};

}  // namespace store
