#pragma once
// The module grid of a picture that looks like a two-dimensional code: the
// three finder squares with their separators, the timing rows, one alignment
// square and a pseudo-random data area that depends only on the seed. It is
// artwork for shared images and is not meant to be decoded. A plain value.

#include <cstdint>
#include <vector>

namespace tools {

class QrPattern {
public:
    static constexpr int kModules = 29;

    explicit QrPattern(std::uint32_t seed);

    // Row and column in 0..kModules-1.
    [[nodiscard]] bool isDark(int row, int column) const;

private:
    [[nodiscard]] static bool isFunctionModule(int row, int column);
    [[nodiscard]] static bool functionModuleIsDark(int row, int column);

    std::vector<bool> dark_;
};

}  // namespace tools
