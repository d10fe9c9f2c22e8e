#include "ads/video/DZGLSphericalShader.h"

#include <GLES3/gl3.h>

#include <array>
#include <cmath>
#include <numbers>
#include <optional>

#include "ads/core/app/DZApplication.h"
#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "ads/video/DZGLProgram.h"
#include "media/GLContext.h"
#include "media/MotionManager.h"

namespace ads {

namespace {

using media::Matrix4;

constexpr const char* kVertexSource = R"(#version 300 es
layout(location = 0) in vec3 position;
out vec3 pos;
void main() {
    pos = position;
    gl_Position = vec4(position, 1.0);
}
)";

// Rays leave the sphere's centre: u is 0.5 straight ahead (-z) and grows
// towards +x, v runs from the top (+y) down.
constexpr const char* kFragmentSource = R"(#version 300 es
precision highp float;
in vec3 pos;
uniform sampler2D SamplerY;
uniform sampler2D SamplerUV;
uniform mat3 colorConversionMatrix;
uniform float uFOVx;
uniform float uFOVy;
uniform mat4 uVMat;
out vec4 fragColor;
void main() {
    vec3 ray = vec3(pos.x * tan(uFOVx), pos.y * tan(uFOVy), -1.0);
    ray = normalize((uVMat * vec4(ray, 1.0)).xyz);
    vec2 texCoord = vec2(0.5 + atan(ray.x, -ray.z) / (2.0 * 3.14159265358979),
                         acos(clamp(ray.y, -1.0, 1.0)) * 0.31830988618379);
    vec3 yuv;
    yuv.x = texture(SamplerY, texCoord).r;
    yuv.yz = texture(SamplerUV, texCoord).rg - vec2(0.5, 0.5);
    fragColor = vec4(colorConversionMatrix * yuv, 1.0);
}
)";

// Column-major; the luma enters unscaled by an offset.
constexpr std::array<float, 9> kColorConversion601 = {
    1.164f, 1.164f,  1.164f,  // luma
    0.0f,   -0.392f, 2.017f,  // Cb
    1.596f, -0.813f, 0.0f,    // Cr
};
constexpr std::array<float, 9> kColorConversion709 = {
    1.164f, 1.164f,  1.164f,  // luma
    0.0f,   -0.213f, 2.112f,  // Cb
    1.793f, -0.533f, 0.0f,    // Cr
};

constexpr double kTanLargerFieldOfView = 1.191753603281887;

constexpr std::array<float, 12> kQuad = {-1, -1, 0, 1, -1, 0, -1, 1, 0, 1, 1, 0};

float degreesToRadians(float degrees) {
    return degrees * std::numbers::pi_v<float> / 180.0f;
}

Error internalError(std::string message) {
    return DZErrorWithCodeDescription(kDZErrorInternalError, std::move(message));
}

}  // namespace

DZYUVPlanes DZYUVPlanes::fromPixelBuffer(const media::PixelBuffer& buffer) {
    auto plane = [&buffer](int index, int width, int height) {
        return media::TexturePlane{buffer.baseAddress(index), width, height,
                                   static_cast<int>(buffer.bytesPerRow(index))};
    };
    return {plane(0, buffer.width(), buffer.height()),
            plane(1, buffer.chromaWidth(), buffer.chromaHeight()), buffer.colorMatrix()};
}

std::shared_ptr<DZGLSphericalShader>
DZGLSphericalShader::create(double touchPitchMultiplier, double touchRollMultiplier, Error* error) {
    return createWithProgramSources(vertexSource(), fragmentSource(), touchPitchMultiplier,
                                    touchRollMultiplier, error);
}

const std::string& DZGLSphericalShader::vertexSource() {
    static const std::string source = kVertexSource;
    return source;
}

const std::string& DZGLSphericalShader::fragmentSource() {
    static const std::string source = kFragmentSource;
    return source;
}

std::shared_ptr<DZGLSphericalShader> DZGLSphericalShader::createWithProgramSources(
    const std::string& vertexSource, const std::string& fragmentSource, double touchPitchMultiplier,
    double touchRollMultiplier, Error* error) {
    auto context = media::GLContext::current();
    if (!context) {
        if (error) *error = internalError("No current OpenGL context for the spherical shader.");
        return nullptr;
    }
    auto shader = std::make_shared<DZGLSphericalShader>(Token{}, std::move(context),
                                                        touchPitchMultiplier, touchRollMultiplier);
    if (!shader->setUpOpenGL(vertexSource, fragmentSource, error)) return nullptr;
    return shader;
}

DZGLSphericalShader::DZGLSphericalShader(Token, std::shared_ptr<media::GLContext> context,
                                         double touchPitchMultiplier, double touchRollMultiplier)
    : context_(std::move(context)), orientation_(std::make_shared<Orientation>(DZCreateQueueWithQoS(
                                        DZQueueLabel("spherical-shader"), DZQoSDefault))),
      externalPitchMultiplier_(touchPitchMultiplier), externalRollMultiplier_(touchRollMultiplier) {
}

DZGLSphericalShader::~DZGLSphericalShader() {
    stopMotionTracking();
    if (!context_->isCurrent()) return;
    cleanupTextures();
    destroyOpenGLProgram();
}

bool DZGLSphericalShader::setUpOpenGL(const std::string& vertexSource,
                                      const std::string& fragmentSource, Error* error) {
    destroyOpenGLProgram();
    if (!DZCreateGLProgram(vertexSource, fragmentSource, &glProgram_, error)) {
        destroyOpenGLProgram();
        return false;
    }
    glUseProgram(glProgram_);
    const GLint samplerY = glGetUniformLocation(glProgram_, "SamplerY");
    const GLint samplerUV = glGetUniformLocation(glProgram_, "SamplerUV");
    uniformColorConversionMatrix_ = glGetUniformLocation(glProgram_, "colorConversionMatrix");
    uniformFOVx_ = glGetUniformLocation(glProgram_, "uFOVx");
    uniformFOVy_ = glGetUniformLocation(glProgram_, "uFOVy");
    uniformVMat_ = glGetUniformLocation(glProgram_, "uVMat");
    for (const GLint location : {samplerY, samplerUV, uniformColorConversionMatrix_, uniformFOVx_,
                                 uniformFOVy_, uniformVMat_}) {
        if (location < 0) {
            if (error) *error = internalError("The spherical program lacks a uniform.");
            return false;
        }
    }
    glDisable(GL_DEPTH_TEST);
    glUniform1i(samplerY, 0);
    glUniform1i(samplerUV, 1);
    if (!videoTextureCache_) {
        std::string reason;
        videoTextureCache_ = media::TextureCache::create(context_, &reason);
        if (!videoTextureCache_) {
            if (error) *error = internalError(reason);
            return false;
        }
    }
    return true;
}

void DZGLSphericalShader::destroyOpenGLProgram() {
    if (glProgram_ == 0) return;
    // GL keeps a program in use alive after its deletion.
    GLint inUse = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &inUse);
    if (static_cast<GLuint>(inUse) == glProgram_) glUseProgram(0);
    glDeleteProgram(glProgram_);
    glProgram_ = 0;
}

void DZGLSphericalShader::cleanupTextures() {
    luma_.reset();
    chroma_.reset();
    if (videoTextureCache_) videoTextureCache_->flush();
}

void DZGLSphericalShader::startMotionTracking() {
    if (motionManager_) return;
    auto manager = std::make_shared<media::MotionManager>();
    if (!manager->isDeviceMotionAvailable()) return;
    manager->startDeviceMotionUpdates();
    motionManager_ = std::move(manager);
    updateApplicationOrientation();
}

void DZGLSphericalShader::stopMotionTracking() {
    if (!motionManager_) return;
    motionManager_->stopDeviceMotionUpdates();
    motionManager_.reset();
}

void DZGLSphericalShader::handleUserTouchMovedByVector(double dx, double dy) {
    updateApplicationOrientation();
    const auto pitch = static_cast<float>(dy * externalPitchMultiplier_);
    const auto roll = static_cast<float>(dx * externalRollMultiplier_);
    externalPitchRotation_ = externalPitchRotation_ * Matrix4::rotationX(degreesToRadians(pitch));
    externalRollRotation_ = externalRollRotation_ * Matrix4::rotationY(degreesToRadians(roll));
}

bool DZGLSphericalShader::displayPixelBuffer(
    const std::shared_ptr<const media::PixelBuffer>& buffer, const gfx::Rect& viewPortRect,
    std::string* error) {
    if (!buffer) return displayPlanes(nullptr, viewPortRect, error);
    const DZYUVPlanes planes = DZYUVPlanes::fromPixelBuffer(*buffer);
    return displayPlanes(&planes, viewPortRect, error);
}

bool DZGLSphericalShader::displayPlanes(const DZYUVPlanes* planes, const gfx::Rect& viewPortRect,
                                        std::string* error) {
    glUseProgram(glProgram_);
    const bool took = !planes || takePlanes(*planes, error);
    if (!luma_ || !chroma_ || !(viewPortRect.size.width > 0) || !(viewPortRect.size.height > 0))
        return took;

    glActiveTexture(GL_TEXTURE0);
    glBindTexture(luma_->target(), luma_->name());
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(chroma_->target(), chroma_->name());
    setFieldOfView(viewPortRect);
    const Matrix4 view = deviceRotationMatrix();
    glUniformMatrix4fv(uniformVMat_, 1, GL_FALSE, view.m.data());

    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, kQuad.data());
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableVertexAttribArray(0);
    return took;
}

bool DZGLSphericalShader::takePlanes(const DZYUVPlanes& planes, std::string* error) {
    glActiveTexture(GL_TEXTURE0);
    auto luma = videoTextureCache_->createTexture(planes.luma, GL_RED, error);
    if (!luma) return false;
    glActiveTexture(GL_TEXTURE1);
    auto chroma = videoTextureCache_->createTexture(planes.chroma, GL_RG, error);
    if (!chroma) {
        // The luma made for this frame goes back; the previous frame stays.
        luma.reset();
        videoTextureCache_->flush();
        return false;
    }
    luma_ = std::move(luma);
    chroma_ = std::move(chroma);
    videoTextureCache_->flush();
    const auto& matrix = planes.colorMatrix == media::ColorMatrix::itu601 ? kColorConversion601
                                                                          : kColorConversion709;
    glUniformMatrix3fv(uniformColorConversionMatrix_, 1, GL_FALSE, matrix.data());
    return true;
}

void DZGLSphericalShader::setFieldOfView(const gfx::Rect& viewPortRect) const {
    const double width = viewPortRect.size.width;
    const double height = viewPortRect.size.height;
    float fovX = kLargerFieldOfView;
    float fovY = kLargerFieldOfView;
    if (width > height) {
        fovY = static_cast<float>(std::atan(height * kTanLargerFieldOfView / width));
    } else {
        fovX = static_cast<float>(std::atan(width * kTanLargerFieldOfView / height));
    }
    glUniform1f(uniformFOVx_, fovX);
    glUniform1f(uniformFOVy_, fovY);
}

long DZGLSphericalShader::lastApplicationOrientation() const {
    long orientation = 0;
    DZSyncOnQueue(*orientation_->lockQueue, [&] { orientation = orientation_->value; });
    return orientation;
}

void DZGLSphericalShader::setLastApplicationOrientation(long orientation) {
    orientation_->store(orientation);
}

void DZGLSphericalShader::updateApplicationOrientation() {
    // The orientation outlives the shader in the queued blocks, so a shader
    // released meanwhile is not revived off its render thread.
    DZRunOnMainThread([orientation = orientation_] {
        orientation->store(DZApplication::sharedInstance()->topViewControllerOrientation());
    });
}

void DZGLSphericalShader::Orientation::store(long orientation) {
    lockQueue->async([self = shared_from_this(), orientation] { self->value = orientation; });
}

Matrix4 DZGLSphericalShader::deviceRotationMatrix() {
    const auto attitude = motionManager_ ? motionManager_->attitude() : std::nullopt;
    const Matrix4 device = attitude ? Matrix4::fromRotation(*attitude) : Matrix4::identity();
    updateApplicationOrientation();
    Matrix4 base = device * Matrix4::rotationX(std::numbers::pi_v<float> / 2);
    if (firstRenderingOrientationHandled_) base = base * orientationOffsetRotationY_;
    Matrix4 view = base.transposed();
    if (!attitude) return view;

    struct Turn {
        float offsetY;
        float aboutZ;
    };
    constexpr float pi = std::numbers::pi_v<float>;
    std::optional<Turn> turn;
    switch (lastApplicationOrientation()) {
    case 1:
        turn = Turn{0, 0};
        break;
    case 2:
        turn = Turn{0, pi};
        break;
    case 3:
        turn = Turn{3 * pi / 2, 3 * pi / 2};
        break;
    case 4:
        turn = Turn{pi / 2, pi / 2};
        break;
    default:
        break;
    }
    if (turn) {
        if (!firstRenderingOrientationHandled_) {
            orientationOffsetRotationY_ = Matrix4::rotationY(turn->offsetY);
            firstRenderingOrientationHandled_ = true;
        }
        if (turn->aboutZ != 0) view = view * Matrix4::rotationZ(turn->aboutZ);
    }
    return externalRollRotation_ * view * externalPitchRotation_;
}

}  // namespace ads
