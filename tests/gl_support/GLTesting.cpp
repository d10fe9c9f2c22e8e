#include "GLTesting.h"

#include <GLES3/gl3.h>

namespace testsupport {

std::array<int, 4> readPixel(int x, int y) {
    std::array<unsigned char, 4> bytes{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    return {bytes[0], bytes[1], bytes[2], bytes[3]};
}

}  // namespace testsupport
