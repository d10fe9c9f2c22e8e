#include "media/GLContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>
#include <gtest/gtest.h>

#include <string>

#include "media/RenderThread.h"

namespace {

using media::GLContext;

TEST(GLContextTest, MakesAnOpenGLES3ContextWithoutADisplayServer) {
    std::string reason;
    auto context = GLContext::create(&reason);
    ASSERT_TRUE(context) << reason;
    EXPECT_FALSE(context->isCurrent());
    ASSERT_TRUE(GLContext::setCurrent(context));
    EXPECT_TRUE(context->isCurrent());
    EXPECT_EQ(GLContext::current(), context);
    const std::string version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    EXPECT_EQ(version.rfind("OpenGL ES 3.", 0), 0u) << version;

    ASSERT_TRUE(GLContext::setCurrent(nullptr));
    EXPECT_FALSE(context->isCurrent());
    EXPECT_EQ(GLContext::current(), nullptr);
    GLContext::releaseThread();
}

TEST(GLContextTest, ForcedFailureGivesNoContextAndItsReason) {
    GLContext::failCreationForTesting("no GPU here");
    std::string reason;
    EXPECT_EQ(GLContext::create(&reason), nullptr);
    EXPECT_EQ(reason, "no GPU here");
    EXPECT_EQ(GLContext::create(), nullptr);
    GLContext::failCreationForTesting(std::nullopt);
    EXPECT_NE(GLContext::create(), nullptr);
}

TEST(GLContextTest, IsCurrentOnOneThreadAtATimeAndGoesWithTheRenderThread) {
    auto context = GLContext::create();
    ASSERT_TRUE(context);
    auto thread = media::startRenderThread("render");
    bool currentThere = false;
    ASSERT_TRUE(thread->perform([&] { currentThere = GLContext::setCurrent(context); }, true));
    EXPECT_TRUE(currentThere);
    EXPECT_FALSE(GLContext::setCurrent(context)) << "current on the render thread";
    EXPECT_EQ(GLContext::current(), nullptr);

    // The render thread lets its context go when it ends.
    (void)thread->perform([] { core::RunLoop::current().stop(); }, false);
    thread->join();
    EXPECT_TRUE(GLContext::setCurrent(context));
    GLContext::releaseThread();
}

// Another library in the process (the web engine does, at its start)
// opens the surfaceless platform's display, probes it and terminates it.
TEST(GLContextTest, SurvivesAnotherLibraryTerminatingTheSharedSurfacelessDisplay) {
    auto before = GLContext::create();
    ASSERT_TRUE(before);
    const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    ASSERT_TRUE(getPlatformDisplay);
    EGLDisplay shared =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    ASSERT_NE(shared, EGL_NO_DISPLAY);
    ASSERT_TRUE(eglInitialize(shared, nullptr, nullptr));
    ASSERT_TRUE(eglTerminate(shared));

    ASSERT_TRUE(GLContext::setCurrent(before)) << "a context made before still works";
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
    std::string reason;
    auto after = GLContext::create(&reason);
    EXPECT_TRUE(after) << reason;
    GLContext::releaseThread();
}

// Should our own display be terminated, the next context opens it again.
TEST(GLContextTest, OpensItsDisplayAgainAfterItWasTerminated) {
    auto context = GLContext::create();
    ASSERT_TRUE(context);
    ASSERT_TRUE(GLContext::setCurrent(context));
    EGLDisplay ours = eglGetCurrentDisplay();
    GLContext::releaseThread();
    context.reset();
    // Another display keeps Mesa's driver loaded meanwhile, as in a process
    // where the web engine uses GL too.
    const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    ASSERT_TRUE(getPlatformDisplay);
    EGLDisplay other =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    ASSERT_TRUE(eglInitialize(other, nullptr, nullptr));
    ASSERT_TRUE(eglTerminate(ours));

    std::string reason;
    context = GLContext::create(&reason);
    ASSERT_TRUE(context) << reason;
    ASSERT_TRUE(GLContext::setCurrent(context));
    EXPECT_NE(glGetString(GL_VERSION), nullptr);
    GLContext::releaseThread();
    EXPECT_TRUE(eglTerminate(other));
}

}  // namespace
