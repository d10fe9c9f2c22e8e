#pragma once
// An OpenGL ES 3 context without surfaces on Mesa's software EGL device
// (llvmpipe), or on Mesa's surfaceless platform where EGL lists no such
// device: no window system and no display server, so it works headless;
// drawing goes into framebuffer objects (GLView). Contexts are made without
// a config; the display is opened on first use and stays open, and is
// opened again should another library terminate it.
//
// A context is current on at most one thread at a time; GL calls act on the
// calling thread's current context. setCurrent() keeps the context alive
// while it is current on the thread. A thread that made a context current
// calls releaseThread() before it ends (RenderThread does).
//
// Every member is safe from any thread.

#include <memory>
#include <optional>
#include <string>

namespace media {

class GLContext {
    struct Token {};

public:
    static constexpr int kMajorVersion = 3;

    // A new context, or nullptr with the reason in *reason.
    [[nodiscard]] static std::shared_ptr<GLContext> create(std::string* reason = nullptr);
    // While set, create() fails with this reason: tests take the path of a
    // machine without GL. nullopt restores real creation.
    static void failCreationForTesting(std::optional<std::string> reason);

    // Makes context current on the calling thread (nullptr: none); false
    // when EGL refuses, such as when it is current on another thread.
    [[nodiscard]] static bool setCurrent(const std::shared_ptr<GLContext>& context);
    [[nodiscard]] static std::shared_ptr<GLContext> current();
    // Clears the calling thread's current context and frees EGL's state of
    // the thread.
    static void releaseThread();

    GLContext(Token, void* display, void* context);
    ~GLContext();
    GLContext(const GLContext&) = delete;
    GLContext& operator=(const GLContext&) = delete;

    [[nodiscard]] bool isCurrent() const;

private:
    void* const display_;
    void* const context_;
};

}  // namespace media
