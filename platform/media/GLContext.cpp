#include "media/GLContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>
#include <mutex>

#include "media/GLError.h"

namespace media {

namespace {

struct DisplayState {
    std::once_flag opened;
    EGLDisplay display = EGL_NO_DISPLAY;
    std::string failure;
};

bool hasExtension(const char* list, const char* name) {
    if (!list) return false;
    const size_t length = std::strlen(name);
    for (const char* at = std::strstr(list, name); at; at = std::strstr(at + 1, name)) {
        const bool starts = at == list || at[-1] == ' ';
        const bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

// Initialises a display and checks it can make contexts without a config
// or a surface; empty when it can.
std::string initializeDisplay(EGLDisplay display) {
    if (!eglInitialize(display, nullptr, nullptr)) {
        return "eglInitialize failed: " + eglErrorName(eglGetError());
    }
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    for (const char* needed : {"EGL_KHR_no_config_context", "EGL_KHR_surfaceless_context"}) {
        if (!hasExtension(extensions, needed)) return std::string("EGL lacks ") + needed;
    }
    return {};
}

// The display of Mesa's software device, or EGL_NO_DISPLAY. Unlike the
// surfaceless platform's display, which is one per process and shared with
// every library that opens it, nobody else here uses it: the web engine
// opens the surfaceless display once to probe it and then terminates it,
// which would take our contexts with it.
EGLDisplay softwareDeviceDisplay(const char* clientExtensions,
                                 PFNEGLGETPLATFORMDISPLAYEXTPROC getPlatformDisplay) {
    if (!hasExtension(clientExtensions, "EGL_EXT_platform_device")) return EGL_NO_DISPLAY;
    const auto queryDevices =
        reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    const auto queryDeviceString = reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(
        eglGetProcAddress("eglQueryDeviceStringEXT"));
    if (!queryDevices || !queryDeviceString) return EGL_NO_DISPLAY;
    EGLDeviceEXT devices[16];
    EGLint count = 0;
    if (!queryDevices(16, devices, &count)) return EGL_NO_DISPLAY;
    for (EGLint i = 0; i < count; ++i) {
        if (!hasExtension(queryDeviceString(devices[i], EGL_EXTENSIONS),
                          "EGL_MESA_device_software")) {
            continue;
        }
        EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
        if (display != EGL_NO_DISPLAY && initializeDisplay(display).empty()) return display;
    }
    return EGL_NO_DISPLAY;
}

std::string openDisplay(EGLDisplay& display) {
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return "EGL lacks eglGetPlatformDisplayEXT";
    display = softwareDeviceDisplay(clientExtensions, getPlatformDisplay);
    if (display != EGL_NO_DISPLAY) return {};

    if (!hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        return "EGL has no surfaceless platform (EGL_MESA_platform_surfaceless)";
    }
    EGLDisplay opened =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (opened == EGL_NO_DISPLAY) {
        return "eglGetPlatformDisplayEXT failed: " + eglErrorName(eglGetError());
    }
    if (auto failure = initializeDisplay(opened); !failure.empty()) return failure;
    display = opened;
    return {};
}

// The process's display, opened once; EGL_NO_DISPLAY with the reason after
// a failure, which is not tried again.
EGLDisplay sharedDisplay(std::string* reason) {
    static auto* state = new DisplayState;
    std::call_once(state->opened, [] { state->failure = openDisplay(state->display); });
    if (state->display == EGL_NO_DISPLAY && reason) *reason = state->failure;
    return state->display;
}

std::mutex& failureMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::optional<std::string>& forcedFailure() {
    static auto* failure = new std::optional<std::string>;
    return *failure;
}

thread_local std::shared_ptr<GLContext> currentContext;

}  // namespace

std::shared_ptr<GLContext> GLContext::create(std::string* reason) {
    {
        std::lock_guard lock(failureMutex());
        if (const auto& failure = forcedFailure()) {
            if (reason) *reason = *failure;
            return nullptr;
        }
    }
    EGLDisplay display = sharedDisplay(reason);
    if (display == EGL_NO_DISPLAY) return nullptr;
    if (!eglBindAPI(EGL_OPENGL_ES_API)) {
        if (reason) *reason = "eglBindAPI(OpenGL ES) failed: " + eglErrorName(eglGetError());
        return nullptr;
    }
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, kMajorVersion, EGL_NONE};
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT && eglGetError() == EGL_NOT_INITIALIZED &&
        eglInitialize(display, nullptr, nullptr)) {
        // Someone else in the process terminated the display (the
        // surfaceless one is shared): open it again.
        context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    }
    if (context == EGL_NO_CONTEXT) {
        if (reason) {
            *reason = "eglCreateContext (OpenGL ES 3) failed: " + eglErrorName(eglGetError());
        }
        return nullptr;
    }
    return std::make_shared<GLContext>(Token{}, display, context);
}

void GLContext::failCreationForTesting(std::optional<std::string> reason) {
    std::lock_guard lock(failureMutex());
    forcedFailure() = std::move(reason);
}

GLContext::GLContext(Token, void* display, void* context) : display_(display), context_(context) {}

GLContext::~GLContext() {
    // A context still current on another thread goes when that thread lets it go.
    eglDestroyContext(display_, context_);
}

bool GLContext::setCurrent(const std::shared_ptr<GLContext>& context) {
    if (context == currentContext) return true;
    if (context) {
        if (!eglMakeCurrent(context->display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context->context_)) {
            return false;
        }
    } else if (currentContext) {
        eglMakeCurrent(currentContext->display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    currentContext = context;
    return true;
}

std::shared_ptr<GLContext> GLContext::current() {
    return currentContext;
}

void GLContext::releaseThread() {
    (void)setCurrent(nullptr);
    eglReleaseThread();
}

bool GLContext::isCurrent() const {
    return eglGetCurrentContext() == context_;
}

}  // namespace media
