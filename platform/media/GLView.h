#pragma once
// A view whose content is drawn with OpenGL ES: its drawable is a
// framebuffer with an RGBA8 renderbuffer of the view's size in points times
// its content scale (the screen's by default). display() binds it, lets the
// delegate draw and reads the pixels back; the read-back becomes the view's
// picture, which the view draws where it is, so GL content shows in the
// renderer's PNGs and the desktop window. The view is opaque: the picture
// ignores the drawn alpha.
//
// Threads: as a view it belongs to the main thread, and its picture changes
// there (display() hands it over through the main queue; of frames drawn
// faster than the main thread takes them only the latest arrives). The GL
// members (display, bindDrawable, deleteDrawable) run on the thread that
// draws, the render thread; the drawable follows the bounds as of the last
// layout pass. context, delegate, content scale and drawable size may be
// used from any thread. Delete the drawable on the render thread before
// the context goes; a view dropped with its drawable leaves it to the
// context, which frees it when it goes.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gfx/Image.h"
#include "media/GLViewDelegate.h"
#include "ui/View.h"

namespace media {

class GLContext;

class GLView : public ui::View {
public:
    explicit GLView(gfx::Rect frame = {}, std::shared_ptr<GLContext> context = nullptr);
    ~GLView() override;

    [[nodiscard]] std::shared_ptr<GLContext> context() const;
    void setContext(std::shared_ptr<GLContext> context);
    void setDelegate(std::weak_ptr<GLViewDelegate> delegate);
    [[nodiscard]] double contentScaleFactor() const;
    void setContentScaleFactor(double scale);
    // The drawable's size in pixels at the next display().
    [[nodiscard]] int drawableWidth() const;
    [[nodiscard]] int drawableHeight() const;

    // Render thread. Makes the context current, makes the drawable when its
    // size changed, binds it, calls the delegate, reads the pixels back and
    // hands them to the main thread as the picture. False, with the reason
    // in lastError(), when there is no context or drawable to draw into.
    bool display();
    // Binds the drawable's framebuffer with the viewport over all of it
    // (when the delegate bound other framebuffers).
    void bindDrawable();
    void deleteDrawable();
    [[nodiscard]] std::string lastError() const;

    // Main thread.
    [[nodiscard]] gfx::ImagePtr picture() const { return picture_; }
    void draw(gfx::Canvas& canvas, const gfx::Rect& rect) const override;
    void layoutSubviews() override;

private:
    struct Geometry {
        gfx::Size points;
        double scale = 1;
        [[nodiscard]] int pixelWidth() const;
        [[nodiscard]] int pixelHeight() const;
    };

    [[nodiscard]] Geometry geometry() const;
    void setPoints(gfx::Size points);
    void fail(std::string reason);
    [[nodiscard]] bool makeDrawable(int width, int height);
    [[nodiscard]] gfx::ImagePtr readPixels(double scale);
    void handOver(gfx::ImagePtr picture);
    void takePendingPicture();

    mutable std::mutex mutex_;
    std::shared_ptr<GLContext> context_;
    std::weak_ptr<GLViewDelegate> delegate_;
    Geometry geometry_;
    std::string lastError_;
    gfx::ImagePtr pendingPicture_;
    bool handOverPosted_ = false;

    // Render thread.
    unsigned framebuffer_ = 0;
    unsigned renderbuffer_ = 0;
    int drawnWidth_ = 0;
    int drawnHeight_ = 0;
    std::vector<std::uint8_t> readBuffer_;

    // Main thread.
    gfx::ImagePtr picture_;
};

}  // namespace media
