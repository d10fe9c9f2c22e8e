#include "media/GLView.h"

#include <GLES3/gl3.h>

#include <cmath>
#include <utility>

#include "core/Queue.h"
#include "gfx/Canvas.h"
#include "media/GLContext.h"
#include "media/GLError.h"
#include "ui/DeviceProfile.h"

namespace media {

int GLView::Geometry::pixelWidth() const {
    return static_cast<int>(std::ceil(points.width * scale - 1e-9));
}

int GLView::Geometry::pixelHeight() const {
    return static_cast<int>(std::ceil(points.height * scale - 1e-9));
}

GLView::GLView(gfx::Rect frame, std::shared_ptr<GLContext> context)
    : ui::View(frame), context_(std::move(context)) {
    geometry_ = {frame.size, ui::DeviceProfile::current().scale};
}

GLView::~GLView() = default;

std::shared_ptr<GLContext> GLView::context() const {
    std::lock_guard lock(mutex_);
    return context_;
}

void GLView::setContext(std::shared_ptr<GLContext> context) {
    std::lock_guard lock(mutex_);
    context_ = std::move(context);
}

void GLView::setDelegate(std::weak_ptr<GLViewDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

double GLView::contentScaleFactor() const {
    return geometry().scale;
}

void GLView::setContentScaleFactor(double scale) {
    if (!std::isfinite(scale) || scale <= 0) return;
    std::lock_guard lock(mutex_);
    geometry_.scale = scale;
}

int GLView::drawableWidth() const {
    return geometry().pixelWidth();
}

int GLView::drawableHeight() const {
    return geometry().pixelHeight();
}

GLView::Geometry GLView::geometry() const {
    std::lock_guard lock(mutex_);
    return geometry_;
}

void GLView::setPoints(gfx::Size points) {
    std::lock_guard lock(mutex_);
    geometry_.points = points;
}

std::string GLView::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

void GLView::fail(std::string reason) {
    std::lock_guard lock(mutex_);
    lastError_ = std::move(reason);
}

void GLView::layoutSubviews() {
    ui::View::layoutSubviews();
    setPoints(bounds().size);
}

void GLView::draw(gfx::Canvas& canvas, const gfx::Rect&) const {
    if (picture_) canvas.drawImage(*picture_, bounds());
}

bool GLView::display() {
    std::shared_ptr<GLContext> context;
    std::shared_ptr<GLViewDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        context = context_;
        delegate = delegate_.lock();
    }
    if (!context) {
        fail("no GL context");
        return false;
    }
    if (!GLContext::setCurrent(context)) {
        fail("the GL context cannot be made current on this thread");
        return false;
    }
    const Geometry now = geometry();
    const int width = now.pixelWidth();
    const int height = now.pixelHeight();
    if (width <= 0 || height <= 0) {
        fail("the view has no area");
        return false;
    }
    if ((width != drawnWidth_ || height != drawnHeight_ || !framebuffer_) &&
        !makeDrawable(width, height)) {
        return false;
    }
    bindDrawable();
    if (delegate) delegate->glView(*this, {{0, 0}, now.points});
    handOver(readPixels(now.scale));
    return true;
}

bool GLView::makeDrawable(int width, int height) {
    deleteDrawable();
    (void)takeGLErrors({});
    glGenFramebuffers(1, &framebuffer_);
    glGenRenderbuffers(1, &renderbuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer_);
    std::string failure = takeGLErrors("a " + std::to_string(width) + "x" + std::to_string(height) +
                                       " RGBA8 renderbuffer");
    if (const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
        failure.empty() && status != GL_FRAMEBUFFER_COMPLETE) {
        failure = "the framebuffer is incomplete: " + glErrorName(status);
    }
    if (!failure.empty()) {
        deleteDrawable();
        fail(std::move(failure));
        return false;
    }
    drawnWidth_ = width;
    drawnHeight_ = height;
    return true;
}

void GLView::bindDrawable() {
    if (!framebuffer_) return;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glViewport(0, 0, drawnWidth_, drawnHeight_);
}

void GLView::deleteDrawable() {
    if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
    if (renderbuffer_) glDeleteRenderbuffers(1, &renderbuffer_);
    framebuffer_ = 0;
    renderbuffer_ = 0;
    drawnWidth_ = 0;
    drawnHeight_ = 0;
}

gfx::ImagePtr GLView::readPixels(double scale) {
    const int width = drawnWidth_;
    const int height = drawnHeight_;
    readBuffer_.resize(static_cast<size_t>(width) * height * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, readBuffer_.data());
    // GL's rows run bottom to top; the picture's top to bottom.
    gfx::Image::Pixels pixels(static_cast<size_t>(width) * height);
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* from = &readBuffer_[static_cast<size_t>(height - 1 - row) * width * 4];
        std::uint32_t* to = &pixels[static_cast<size_t>(row) * width];
        for (int x = 0; x < width; ++x, from += 4) {
            to[x] =
                0xFF000000u | std::uint32_t(from[0]) << 16 | std::uint32_t(from[1]) << 8 | from[2];
        }
    }
    return gfx::Image::create(width, height, std::move(pixels), scale);
}

void GLView::handOver(gfx::ImagePtr picture) {
    {
        std::lock_guard lock(mutex_);
        pendingPicture_ = std::move(picture);
        if (std::exchange(handOverPosted_, true)) return;
    }
    core::Queue::main()->async([weak = weak_from_this()] {
        if (const auto view = weak.lock()) static_cast<GLView&>(*view).takePendingPicture();
    });
}

void GLView::takePendingPicture() {
    {
        std::lock_guard lock(mutex_);
        picture_ = std::move(pendingPicture_);
        handOverPosted_ = false;
    }
    setNeedsDisplay();
}

}  // namespace media
