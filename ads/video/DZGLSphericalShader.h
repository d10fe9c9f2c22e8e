#pragma once
// Draws the part of a 360-degree equirectangular video frame (longitude
// across, latitude down) that a viewer at the sphere's centre sees, for the
// device's attitude and the user's drags. No mesh: one quad over the
// viewport, and the fragment program casts a ray per pixel, turns it by the
// view matrix and looks its longitude and latitude up in the frame's luma
// (GL_RED) and chroma (GL_RG) textures, converting YUV to RGB.
//
// Threads: made where its GL context is current (the GL view's render
// thread) and used there, apart from the orientation accessors, which are
// safe from any thread. It may be released anywhere: GL objects are only
// deleted where the context is current, elsewhere they go with the context.

#include <memory>
#include <string>

#include "ads/core/request/DZError.h"
#include "core/Queue.h"
#include "gfx/Geometry.h"
#include "media/GLTexture.h"
#include "media/Matrix4.h"
#include "media/PixelBuffer.h"
#include "media/TextureCache.h"

namespace media {
class GLContext;
class MotionManager;
}  // namespace media

namespace ads {

// One frame's planes as the shader takes them: full-size luma, half-size
// interleaved Cb/Cr, and the matrix the frame is tagged with.
struct DZYUVPlanes {
    media::TexturePlane luma;
    media::TexturePlane chroma;
    media::ColorMatrix colorMatrix = media::ColorMatrix::untagged;

    [[nodiscard]] static DZYUVPlanes fromPixelBuffer(const media::PixelBuffer& buffer);
};

class DZGLSphericalShader {
    struct Token {};

public:
    // The larger side of the viewport always spans 50 degrees.
    static constexpr float kLargerFieldOfView = 0.87266463f;

    // A shader with its program and texture cache made in the GL context
    // current on the calling thread; nullptr (with the reason in *error)
    // when there is none or the program cannot be set up. The multipliers
    // are degrees of turn per point dragged.
    [[nodiscard]] static std::shared_ptr<DZGLSphericalShader>
    create(double touchPitchMultiplier, double touchRollMultiplier, Error* error = nullptr);
    // The program's sources.
    [[nodiscard]] static const std::string& vertexSource();
    [[nodiscard]] static const std::string& fragmentSource();
    // The same with other program sources (which must declare what the
    // standard ones do), for tools and tests.
    [[nodiscard]] static std::shared_ptr<DZGLSphericalShader>
    createWithProgramSources(const std::string& vertexSource, const std::string& fragmentSource,
                             double touchPitchMultiplier, double touchRollMultiplier,
                             Error* error = nullptr);

    DZGLSphericalShader(Token, std::shared_ptr<media::GLContext> context,
                        double touchPitchMultiplier, double touchRollMultiplier);
    ~DZGLSphericalShader();
    DZGLSphericalShader(const DZGLSphericalShader&) = delete;
    DZGLSphericalShader& operator=(const DZGLSphericalShader&) = delete;

    // Polls the device's attitude while tracking; without device motion the
    // view keeps its fixed base and drags do not turn it.
    void startMotionTracking();
    void stopMotionTracking();
    [[nodiscard]] bool isTrackingMotion() const { return motionManager_ != nullptr; }

    // A drag of (dx, dy) points: dy turns the view about its own x axis
    // (pitch), dx about the world's vertical axis (roll). Turns accumulate.
    void handleUserTouchMovedByVector(double dx, double dy);

    // Draws one frame into the bound framebuffer, whose viewport the caller
    // has set to viewPortRect (pixels). With a buffer its planes replace the
    // current textures; without one the current textures are drawn again.
    // When a plane's texture cannot be made, the frame is skipped: the
    // previous frame's textures and colours stay and are drawn, and the
    // answer is false with the reason in *error. Nothing is drawn before
    // the first frame or into an empty viewport.
    bool displayPixelBuffer(const std::shared_ptr<const media::PixelBuffer>& buffer,
                            const gfx::Rect& viewPortRect, std::string* error = nullptr);
    bool displayPlanes(const DZYUVPlanes* planes, const gfx::Rect& viewPortRect,
                       std::string* error = nullptr);

    // The interface orientation as last read on the main thread (0 until
    // then); writes are queued, reads wait for them.
    [[nodiscard]] long lastApplicationOrientation() const;
    void setLastApplicationOrientation(long orientation);
    // Reads the top controller's orientation on the main thread and stores it.
    void updateApplicationOrientation();

    // The view matrix of the next frame: the attitude, turned so that an
    // upright device looks at the horizon, the interface orientation and the
    // drags. Fixes the orientation offset at the first call with motion in a
    // known orientation.
    [[nodiscard]] media::Matrix4 deviceRotationMatrix();

    [[nodiscard]] unsigned glProgram() const { return glProgram_; }
    [[nodiscard]] const std::shared_ptr<media::GLTexture>& lumaTexture() const { return luma_; }
    [[nodiscard]] const std::shared_ptr<media::GLTexture>& chromaTexture() const { return chroma_; }

private:
    // The interface orientation, guarded by its serial queue: writes are
    // queued, reads wait on the queue.
    struct Orientation : std::enable_shared_from_this<Orientation> {
        explicit Orientation(std::shared_ptr<core::Queue> queue) : lockQueue(std::move(queue)) {}
        void store(long orientation);
        const std::shared_ptr<core::Queue> lockQueue;
        long value = 0;
    };

    [[nodiscard]] bool setUpOpenGL(const std::string& vertexSource,
                                   const std::string& fragmentSource, Error* error);
    void destroyOpenGLProgram();
    void cleanupTextures();
    [[nodiscard]] bool takePlanes(const DZYUVPlanes& planes, std::string* error);
    void setFieldOfView(const gfx::Rect& viewPortRect) const;

    const std::shared_ptr<media::GLContext> context_;
    const std::shared_ptr<Orientation> orientation_;
    unsigned glProgram_ = 0;
    int uniformColorConversionMatrix_ = -1;
    int uniformFOVx_ = -1;
    int uniformFOVy_ = -1;
    int uniformVMat_ = -1;
    std::shared_ptr<media::TextureCache> videoTextureCache_;
    std::shared_ptr<media::GLTexture> luma_;
    std::shared_ptr<media::GLTexture> chroma_;
    std::shared_ptr<media::MotionManager> motionManager_;
    media::Matrix4 externalPitchRotation_;
    media::Matrix4 externalRollRotation_;
    const double externalPitchMultiplier_;
    const double externalRollMultiplier_;
    media::Matrix4 orientationOffsetRotationY_;
    bool firstRenderingOrientationHandled_ = false;
};

}  // namespace ads
