#include "media/TextureCache.h"

#include <GLES3/gl3.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GLTesting.h"
#include "NV12Quad.h"

namespace {

using media::TextureCache;
using media::TexturePlane;
using testsupport::readPixel;

class TextureCacheTest : public testsupport::GLTest {
protected:
    void SetUp() override {
        GLTest::SetUp();
        cache_ = TextureCache::create(context_);
        ASSERT_TRUE(cache_);
    }

    // The texel at (x, y) (rows top down as uploaded) through a framebuffer.
    static std::array<int, 4> texel(const media::GLTexture& texture, int x, int y) {
        GLuint framebuffer = 0;
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture.name(),
                               0);
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
        const auto value = readPixel(x, y);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer);
        return value;
    }

    static bool anyTextureExists() {
        for (GLuint name = 1; name < 64; ++name) {
            if (glIsTexture(name)) return true;
        }
        return false;
    }

    std::shared_ptr<TextureCache> cache_;
};

TEST_F(TextureCacheTest, UploadsOddSizedPaddedNV12PlanesTexelForTexel) {
    // Odd sizes give a rounded-up chroma plane; padded rows are skipped.
    const auto frame = testsupport::NV12Frame::make(1921, 1081, 38, [](int x, int y) {
        return testsupport::YUV{std::uint8_t(x * 7 + y), std::uint8_t(x / 2 + 3),
                                std::uint8_t(y / 2 + 5)};
    });
    std::string error;
    glActiveTexture(GL_TEXTURE1);
    auto luma = cache_->createTexture(frame.lumaPlane(), GL_RED, &error);
    ASSERT_TRUE(luma) << error;
    auto chroma = cache_->createTexture(frame.chromaPlane(), GL_RG, &error);
    ASSERT_TRUE(chroma) << error;
    EXPECT_EQ(chroma->width(), 961);
    EXPECT_EQ(chroma->height(), 541);
    EXPECT_EQ(chroma->target(), GLenum(GL_TEXTURE_2D));

    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), chroma->name()) << "left bound to the active unit";
    for (const auto& [name, expected] : {std::pair{GL_TEXTURE_MIN_FILTER, GL_LINEAR},
                                         {GL_TEXTURE_MAG_FILTER, GL_LINEAR},
                                         {GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE},
                                         {GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE}}) {
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
        EXPECT_EQ(value, expected) << std::hex << name;
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4) << "the unpack state is put back";

    for (const auto& [x, y] : {std::pair{0, 0}, {1920, 0}, {5, 1080}, {1919, 1079}}) {
        const auto at = texel(*luma, x, y);
        EXPECT_EQ(at[0], frame.luma[size_t(y) * frame.lumaBytesPerRow + x]) << x << "," << y;
        const auto uv = texel(*chroma, x / 2, y / 2);
        const auto* expected = &frame.chroma[size_t(y / 2) * frame.chromaBytesPerRow + x / 2 * 2];
        EXPECT_EQ(uv[0], expected[0]) << x << "," << y;
        EXPECT_EQ(uv[1], expected[1]) << x << "," << y;
    }
}

TEST_F(TextureCacheTest, RefusesPlanesThatDoNotFitAndReleasesWhatGLRefuses) {
    std::vector<std::uint8_t> bytes(64 * 4, 0);
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    std::vector<std::uint8_t> wide(size_t(maxSize + 1) * 2, 0);
    struct Case {
        const char* what;
        TexturePlane plane;
        unsigned format;
        const char* error;
    };
    const Case cases[] = {
        {"no bytes", {nullptr, 4, 4, 4}, GL_RED, "no pixels"},
        {"empty", {bytes.data(), 0, 4, 4}, GL_RED, "no pixels"},
        {"short rows", {bytes.data(), 8, 4, 15}, GL_RG, "15 bytes per row"},
        {"split texels", {bytes.data(), 4, 4, 9}, GL_RG, "9 bytes per row"},
        {"unknown format", {bytes.data(), 4, 4, 16}, GL_DEPTH_COMPONENT, "unsupported"},
        {"beyond GL's limit",
         {wide.data(), maxSize + 1, 1, maxSize + 1},
         GL_RED,
         "GL_INVALID_VALUE"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(cache_->createTexture(c.plane, c.format, &error), nullptr) << c.what;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    }
    EXPECT_FALSE(anyTextureExists()) << "the refused texture is deleted";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // An error left by earlier calls is not the upload's.
    glBindTexture(GL_TEXTURE_2D, 99999);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_ZERO);
    std::string error;
    EXPECT_TRUE(cache_->createTexture({bytes.data(), 4, 4, 4}, GL_RED, &error)) << error;
}

TEST_F(TextureCacheTest, DeletesTexturesHandedBackAtTheNextFlushWithItsContextCurrent) {
    std::vector<std::uint8_t> bytes(16, 0);
    auto texture = cache_->createTexture({bytes.data(), 4, 4, 4}, GL_RED);
    ASSERT_TRUE(texture);
    const GLuint name = texture->name();
    texture.reset();
    EXPECT_TRUE(glIsTexture(name));
    cache_->flush();
    EXPECT_FALSE(glIsTexture(name));

    ASSERT_TRUE(media::GLContext::setCurrent(nullptr));
    std::string error;
    EXPECT_EQ(cache_->createTexture({bytes.data(), 4, 4, 4}, GL_RED, &error), nullptr);
    EXPECT_EQ(error, "the texture cache's GL context is not current");
    EXPECT_EQ(TextureCache::create(nullptr, &error), nullptr);
    EXPECT_EQ(error, "no GL context for the texture cache");
}

}  // namespace
