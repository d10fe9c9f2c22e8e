// same_pixels DIR_A DIR_B: whether every PNG of DIR_A has a namesake in DIR_B
// with the same size and the same straight RGBA pixels (however each file
// was compressed or filtered). Prints one line per differing file and a
// summary; exits 0 only when all match. For comparing the tool's shots of
// two builds.

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Pixels {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    std::vector<unsigned char> rgba;
};

bool read(const std::filesystem::path& file, Pixels& out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) return false;
    image.format = PNG_FORMAT_RGBA;
    out.rgba.resize(PNG_IMAGE_SIZE(image));
    out.width = image.width;
    out.height = image.height;
    return png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: same_pixels DIR_A DIR_B\n");
        return 2;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
        if (entry.path().extension() == ".png") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    int same = 0;
    int differ = 0;
    for (const auto& file : files) {
        Pixels a;
        Pixels b;
        const auto other = std::filesystem::path(argv[2]) / file.filename();
        std::string problem;
        if (!read(file, a)) problem = "unreadable in " + std::string(argv[1]);
        else if (!read(other, b)) problem = "missing or unreadable in " + std::string(argv[2]);
        else if (a.width != b.width || a.height != b.height) problem = "sizes differ";
        else if (a.rgba != b.rgba) {
            size_t count = 0;
            for (size_t i = 0; i < a.rgba.size(); i += 4)
                count += !std::equal(&a.rgba[i], &a.rgba[i] + 4, &b.rgba[i]);
            problem = std::to_string(count) + " pixels differ";
        }
        if (problem.empty()) {
            ++same;
        } else {
            ++differ;
            std::printf("%s: %s\n", file.filename().c_str(), problem.c_str());
        }
    }
    std::printf("same_pixels: %d same, %d differ\n", same, differ);
    return differ == 0 && same > 0 ? 0 : 1;
}
