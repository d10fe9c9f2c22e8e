#include "ads/video/DZGLSphericalShader.h"

#include <GLES3/gl3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <utility>
#include <vector>

#include "GLTesting.h"
#include "SphereTesting.h"
#include "ads/video/DZGLProgram.h"
#include "core/RunLoop.h"
#include "media/GLView.h"
#include "media/MotionManager.h"
#include "media/RenderThread.h"
#include "ui/DeviceProfile.h"

namespace {

using ads::DZGLSphericalShader;
using ads::DZYUVPlanes;
using media::ColorMatrix;
using media::PixelBuffer;
using namespace spheretesting;

class DZGLSphericalShaderTest : public testsupport::GLTest {
protected:
    static constexpr int kWidth = 101;  // odd: the centre pixel looks straight ahead
    static constexpr int kHeight = 201;

    void SetUp() override {
        GLTest::SetUp();
        ui::DeviceProfile::setInterfaceOrientation(1);
        glGenRenderbuffers(1, &renderbuffer_);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
        glGenFramebuffers(1, &framebuffer_);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  renderbuffer_);
        ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    }
    void TearDown() override {
        shader_.reset();
        glDeleteFramebuffers(1, &framebuffer_);
        glDeleteRenderbuffers(1, &renderbuffer_);
        media::MotionManager::overrideEnvironmentForTesting(std::nullopt);
        ui::DeviceProfile::overrideForTesting(savedProfile_);
        GLTest::TearDown();
    }

    DZGLSphericalShader& shader(double pitchMultiplier = 0.2, double rollMultiplier = 0.2) {
        ads::Error error;
        shader_ = DZGLSphericalShader::create(pitchMultiplier, rollMultiplier, &error);
        EXPECT_TRUE(shader_) << error.message;
        return *shader_;
    }
    static void deviceMotion(media::RotationMatrix attitude) {
        media::MotionManager::overrideEnvironmentForTesting(
            media::MotionEnvironment{true, attitude});
    }
    // Clears to magenta and draws one frame (or the current one again).
    bool draw(const std::shared_ptr<PixelBuffer>& buffer, std::string* error = nullptr,
              gfx::Rect viewport = {0, 0, kWidth, kHeight}) {
        glViewport(0, 0, kWidth, kHeight);
        glClearColor(1, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        return shader_->displayPixelBuffer(buffer, viewport, error);
    }
    static RGB centre() {
        const auto rgba = testsupport::readPixel(kWidth / 2, kHeight / 2);
        return {rgba[0], rgba[1], rgba[2]};
    }
    static std::vector<std::uint8_t> allPixels() {
        std::vector<std::uint8_t> bytes(size_t(kWidth) * kHeight * 4);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
        return bytes;
    }

    std::shared_ptr<DZGLSphericalShader> shader_;

private:
    ui::DeviceProfile savedProfile_ = ui::DeviceProfile::current();
    GLuint framebuffer_ = 0;
    GLuint renderbuffer_ = 0;
};

int liveTextures() {
    int count = 0;
    for (GLuint name = 1; name < 64; ++name) count += glIsTexture(name) ? 1 : 0;
    return count;
}

TEST_F(DZGLSphericalShaderTest, MotionAndDragsTurnTheViewAcrossTheSphere) {
    auto& s = shader();
    s.startMotionTracking();
    EXPECT_FALSE(s.isTrackingMotion()) << "Linux has no device motion";
    deviceMotion(kUpright);
    s.startMotionTracking();
    ASSERT_TRUE(s.isTrackingMotion());
    const auto frame = scene(ColorMatrix::itu709);
    const auto colour = [](YUV yuv) { return expectedRGB(yuv, ColorMatrix::itu709); };

    ASSERT_TRUE(draw(frame));
    expectColour(centre(), colour(kBands[4]), "ahead, u = 0.5");

    struct Drag {
        double dx, dy;
        RGB centre;
        const char* what;
    };
    // Turns accumulate: each row starts where the one before ended.
    const Drag drags[] = {
        {450, 0, colour(kBands[2]), "dx 450 at 0.2 turns 90 degrees to u = 0.25"},
        {-900, 0, colour(kBands[6]), "back past the start to u = 0.75"},
        {450, 450, colour(kSky), "dy 450 pitches up to the zenith"},
        {0, -900, colour(kGround), "and down to the nadir"},
        {0, 450, colour(kBands[4]), "level again"},
    };
    for (const Drag& d : drags) {
        s.handleUserTouchMovedByVector(d.dx, d.dy);
        draw(nullptr);
        expectColour(centre(), d.centre, d.what);
    }

    s.stopMotionTracking();
    EXPECT_FALSE(s.isTrackingMotion());
    draw(nullptr);
    expectColour(centre(), colour(kGround), "without motion the base view looks down");
    const auto before = allPixels();
    s.handleUserTouchMovedByVector(450, 300);
    draw(nullptr);
    EXPECT_EQ(allPixels(), before) << "and drags do not turn it";
}

TEST_F(DZGLSphericalShaderTest, TheFramesMatrixTagPicksTheColourConversion) {
    deviceMotion(kUpright);
    auto& s = shader();
    s.startMotionTracking();
    const struct {
        ColorMatrix tag;
        ColorMatrix conversion;
    } cases[] = {
        {ColorMatrix::itu601, ColorMatrix::itu601},
        {ColorMatrix::itu709, ColorMatrix::itu709},
        {ColorMatrix::untagged, ColorMatrix::itu709},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(draw(scene(c.tag)));
        expectColour(centre(), expectedRGB(kBands[4], c.conversion),
                     "tag " + std::to_string(int(c.tag)));
    }
    EXPECT_NE(expectedRGB(kBands[4], ColorMatrix::itu601),
              expectedRGB(kBands[4], ColorMatrix::itu709));
}

TEST_F(DZGLSphericalShaderTest, TheOrientationAtTheFirstFrameFixesTheForwardDirection) {
    deviceMotion(kUpright);
    ui::DeviceProfile::setInterfaceOrientation(3);
    auto& s = shader();
    s.startMotionTracking();
    EXPECT_EQ(s.lastApplicationOrientation(), 3);
    const auto frame = scene(ColorMatrix::itu709);
    const auto colour = [](YUV yuv) { return expectedRGB(yuv, ColorMatrix::itu709); };

    ASSERT_TRUE(draw(frame));
    expectColour(centre(), colour(kBands[4]), "the first frame fixes the offset, unturned");
    draw(nullptr);
    expectColour(centre(), colour(kBands[2]), "later frames turn by it");

    ui::DeviceProfile::setInterfaceOrientation(1);
    draw(nullptr);
    EXPECT_EQ(s.lastApplicationOrientation(), 1);
    expectColour(centre(), colour(kBands[2]), "a later orientation keeps the offset");
}

TEST_F(DZGLSphericalShaderTest, AnUnknownOrientationLeavesTheOffsetToTheFirstKnownOne) {
    deviceMotion(kUpright);
    ui::DeviceProfile::setInterfaceOrientation(4);
    auto& s = shader();
    s.startMotionTracking();
    s.setLastApplicationOrientation(0);
    const auto ahead = [](const media::Matrix4& view) { return view.transformPoint({0, 0, -1}); };
    const auto expectAhead = [](std::array<float, 3> actual, std::array<float, 3> expected,
                                const char* what) {
        for (size_t i = 0; i < 3; ++i)
            EXPECT_NEAR(actual[i], expected[i], 1e-6) << what << " " << i;
    };

    // Off the main thread the orientation read is the stored one; the
    // update waits for the main queue.
    media::Matrix4 unknown;
    std::thread([&] { unknown = s.deviceRotationMatrix(); }).join();
    expectAhead(ahead(unknown), {0, 0, -1}, "unknown orientation: no turn");
    ASSERT_TRUE(
        core::RunLoop::main().runUntil([&] { return s.lastApplicationOrientation() == 4; }, 5));

    expectAhead(ahead(s.deviceRotationMatrix()), {0, 0, -1}, "landscape's offset is fixed");
    expectAhead(ahead(s.deviceRotationMatrix()), {1, 0, 0}, "and turns later frames");
}

TEST_F(DZGLSphericalShaderTest, TheLargerViewportSideSpansFiftyDegrees) {
    auto& s = shader();
    const float narrow = std::atan(0.5f * std::tan(0.87266463f));
    const struct {
        double width, height;
        float fovX, fovY;
    } cases[] = {
        {1000, 500, 0.87266463f, narrow},
        {500, 500, 0.87266463f, 0.87266463f},
        {500, 1000, narrow, 0.87266463f},
    };
    const auto frame = scene(ColorMatrix::itu709);
    for (const auto& c : cases) {
        draw(frame, nullptr, {0, 0, c.width, c.height});
        float fov[2] = {};
        glGetUniformfv(s.glProgram(), glGetUniformLocation(s.glProgram(), "uFOVx"), &fov[0]);
        glGetUniformfv(s.glProgram(), glGetUniformLocation(s.glProgram(), "uFOVy"), &fov[1]);
        EXPECT_FLOAT_EQ(fov[0], c.fovX) << c.width << "x" << c.height;
        EXPECT_FLOAT_EQ(fov[1], c.fovY) << c.width << "x" << c.height;
    }
}

TEST_F(DZGLSphericalShaderTest, OddFramesGetChromaTexturesRoundedUp) {
    auto& s = shader();
    ASSERT_TRUE(draw(PixelBuffer::create(1921, 1081, ColorMatrix::itu709)));
    ASSERT_TRUE(s.lumaTexture() && s.chromaTexture());
    EXPECT_EQ(s.lumaTexture()->width(), 1921);
    EXPECT_EQ(s.lumaTexture()->height(), 1081);
    EXPECT_EQ(s.chromaTexture()->width(), 961);
    EXPECT_EQ(s.chromaTexture()->height(), 541);
}

TEST_F(DZGLSphericalShaderTest, DrawsNothingBeforeTheFirstFrameOrIntoAnEmptyViewport) {
    auto& s = shader();
    EXPECT_TRUE(draw(nullptr));
    EXPECT_EQ(centre(), (RGB{255, 0, 255}));
    EXPECT_TRUE(draw(scene(ColorMatrix::itu709), nullptr, {0, 0, 0, 0}));
    EXPECT_EQ(centre(), (RGB{255, 0, 255}));
    EXPECT_TRUE(s.lumaTexture()) << "the frame is still taken";
}

TEST_F(DZGLSphericalShaderTest, AFrameWhosePlaneCannotBeMadeIsSkippedAndThePreviousOneDrawn) {
    deviceMotion(kUpright);
    auto& s = shader();
    s.startMotionTracking();
    const auto first = scene(ColorMatrix::itu601);
    ASSERT_TRUE(draw(first));
    const RGB shown = centre();
    expectColour(shown, expectedRGB(kBands[4], ColorMatrix::itu601), "first frame");
    auto luma = s.lumaTexture();
    auto chroma = s.chromaTexture();
    ASSERT_EQ(liveTextures(), 2);

    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    std::vector<std::uint8_t> wide(size_t(maxSize + 1) * 2, 200);
    const auto other = scene(ColorMatrix::itu709);
    const DZYUVPlanes good = DZYUVPlanes::fromPixelBuffer(*other);
    const struct {
        const char* what;
        media::TexturePlane luma, chroma;
        const char* error;
    } cases[] = {
        {"luma beyond GL's limit",
         {wide.data(), maxSize + 1, 1, maxSize + 1},
         good.chroma,
         "GL_INVALID_VALUE"},
        {"chroma beyond GL's limit",
         good.luma,
         {wide.data(), maxSize + 1, 1, 2 * (maxSize + 1)},
         "GL_INVALID_VALUE"},
        {"chroma rows too short", good.luma, {good.chroma.bytes, 128, 64, 200}, "bytes per row"},
    };
    for (const auto& c : cases) {
        const DZYUVPlanes planes{c.luma, c.chroma, ColorMatrix::itu709};
        glClear(GL_COLOR_BUFFER_BIT);
        std::string error;
        EXPECT_FALSE(s.displayPlanes(&planes, {0, 0, kWidth, kHeight}, &error)) << c.what;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(centre(), shown) << c.what << ": the previous picture, in its colours";
        EXPECT_EQ(s.lumaTexture(), luma) << c.what;
        EXPECT_EQ(s.chromaTexture(), chroma) << c.what;
        EXPECT_EQ(liveTextures(), 2) << c.what << ": a half-made texture is released";
    }

    luma.reset();
    chroma.reset();
    ASSERT_TRUE(s.displayPlanes(&good, {0, 0, kWidth, kHeight}));
    EXPECT_EQ(liveTextures(), 2) << "the replaced frame's textures are released";
    expectColour(centre(), expectedRGB(kBands[4], ColorMatrix::itu709), "the next good frame");
}

// Counts the shader and program objects alive in the context.
int liveProgramObjects() {
    int count = 0;
    for (GLuint name = 1; name < 64; ++name)
        count += (glIsShader(name) || glIsProgram(name)) ? 1 : 0;
    return count;
}

TEST_F(DZGLSphericalShaderTest, ProgramHelpersReportWhatFailsAndLeaveNoObjectsBehind) {
    const std::string& kVertex = DZGLSphericalShader::vertexSource();
    ads::Error error;
    EXPECT_FALSE(ads::DZCompileGLShader(0, "void main() {}", GL_VERTEX_SHADER, &error));
    EXPECT_EQ(error.message, "Invalid shader identifier.");
    EXPECT_EQ(error.code, ads::kDZErrorInternalError);

    const std::string otherVarying = R"(#version 300 es
precision highp float;
in vec3 elsewhere;
out vec4 c;
void main() { c = vec4(elsewhere, 1.0); }
)";
    const struct {
        const char* what;
        std::string vertex, fragment;
        std::string message;
    } cases[] = {
        {"broken vertex", "not glsl", "not glsl either",
         "Failed compiling shader source: not glsl type 35633"},
        {"broken fragment", kVertex, "not glsl",
         "Failed compiling shader source: not glsl type 35632"},
        {"unlinked varying", kVertex, otherVarying,
         "Failed linking OpenGL program with created vertex and fragment shaders."},
    };
    for (const auto& c : cases) {
        unsigned program = 0;
        error = {};
        EXPECT_FALSE(ads::DZCreateGLProgram(c.vertex, c.fragment, &program, &error)) << c.what;
        EXPECT_EQ(error.message, c.message) << c.what;
        EXPECT_EQ(program, 0u) << c.what;
        EXPECT_EQ(liveProgramObjects(), 0) << c.what;
        EXPECT_FALSE(ads::DZCreateGLProgram(c.vertex, c.fragment, &program)) << "no error pointer";
    }
    EXPECT_FALSE(ads::DZCreateGLProgram(kVertex, otherVarying, nullptr, &error));
    EXPECT_EQ(error.message,
              "Couldn't create OpenGL program as the output program pointer is empty.");

    unsigned program = 0;
    ASSERT_TRUE(ads::DZCreateGLProgram(kVertex, R"(#version 300 es
precision highp float;
in vec3 pos;
out vec4 c;
void main() { c = vec4(pos, 1.0); }
)",
                                       &program));
    EXPECT_TRUE(glIsProgram(program));
    EXPECT_EQ(liveProgramObjects(), 1) << "only the program stays";
    glDeleteProgram(program);
}

TEST_F(DZGLSphericalShaderTest, CreationFailsCleanlyWithoutAContextOrAUsableProgram) {
    // The standard program with the vertical field of view unused, so
    // that GL drops its uniform.
    std::string lacksFOVy = DZGLSphericalShader::fragmentSource();
    const std::string use = "tan(uFOVy)";
    ASSERT_NE(lacksFOVy.find(use), std::string::npos);
    lacksFOVy.replace(lacksFOVy.find(use), use.size(), "tan(uFOVx)");
    const std::string& vertex = DZGLSphericalShader::vertexSource();
    ads::Error error;
    EXPECT_FALSE(
        DZGLSphericalShader::createWithProgramSources(vertex, lacksFOVy, 0.2, 0.2, &error));
    EXPECT_EQ(error.message, "The spherical program lacks a uniform.");
    EXPECT_FALSE(
        DZGLSphericalShader::createWithProgramSources(vertex, "not glsl", 0.2, 0.2, &error));
    EXPECT_EQ(error.message, "Failed compiling shader source: not glsl type 35632");
    EXPECT_EQ(liveProgramObjects(), 0);

    media::GLContext::failCreationForTesting("no GPU here");
    EXPECT_FALSE(media::GLContext::create());
    media::GLContext::failCreationForTesting(std::nullopt);
    ASSERT_TRUE(media::GLContext::setCurrent(nullptr));
    error = {};
    EXPECT_FALSE(DZGLSphericalShader::create(0.2, 0.2, &error));
    EXPECT_EQ(error.code, ads::kDZErrorInternalError);
    EXPECT_FALSE(error.message.empty());
}

}  // namespace

namespace {

// A GL view's delegate that makes the shader on the render thread at its
// first draw, as the video player's GL view does, and draws one frame.
class SphereDelegate : public media::GLViewDelegate {
public:
    explicit SphereDelegate(std::shared_ptr<PixelBuffer> frame) : frame_(std::move(frame)) {}
    void glView(media::GLView& view, const gfx::Rect&) override {
        if (!shader) {
            shader = DZGLSphericalShader::create(0.2, 0.2);
            if (!shader) return;
            shader->startMotionTracking();
        }
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        (void)shader->displayPixelBuffer(
            std::exchange(frame_, nullptr),
            {0, 0, double(view.drawableWidth()), double(view.drawableHeight())});
    }
    std::shared_ptr<DZGLSphericalShader> shader;

private:
    std::shared_ptr<PixelBuffer> frame_;
};

TEST(DZGLSphericalShaderViewTest, DrawsIntoAGLViewOnItsRenderThread) {
    media::MotionManager::overrideEnvironmentForTesting(media::MotionEnvironment{true, kUpright});
    std::string reason;
    const auto context = media::GLContext::create(&reason);
    ASSERT_TRUE(context) << reason;
    const auto thread = media::startRenderThread("spherical-shader-test");
    const auto view = std::make_shared<media::GLView>(gfx::Rect{0, 0, 51, 101}, context);
    view->setContentScaleFactor(1);
    const auto delegate = std::make_shared<SphereDelegate>(scene(ColorMatrix::itu709));
    view->setDelegate(delegate);
    const auto centreOfPicture = [&](const gfx::ImagePtr& before) {
        EXPECT_TRUE(core::RunLoop::main().runUntil([&] { return view->picture() != before; }, 10));
        const gfx::Color c = view->picture()->pixelAt(25, 50);
        return RGB{int(std::lround(c.red * 255)), int(std::lround(c.green * 255)),
                   int(std::lround(c.blue * 255))};
    };

    ASSERT_TRUE(thread->perform([&] { (void)view->display(); }, true));
    expectColour(centreOfPicture(nullptr), expectedRGB(kBands[4], ColorMatrix::itu709), "ahead");

    const auto before = view->picture();
    ASSERT_TRUE(thread->perform(
        [&] {
            delegate->shader->handleUserTouchMovedByVector(450, 0);
            (void)view->display();
        },
        true));
    expectColour(centreOfPicture(before), expectedRGB(kBands[2], ColorMatrix::itu709),
                 "turned by the drag");

    ASSERT_TRUE(thread->perform(
        [&] {
            view->deleteDrawable();
            delegate->shader.reset();
            (void)media::GLContext::setCurrent(nullptr);
            core::RunLoop::current().stop();
        },
        true));
    thread->join();
    media::MotionManager::overrideEnvironmentForTesting(std::nullopt);
}

}  // namespace
