#include "media/GLError.h"

#include <GLES3/gl3.h>

#include <cstdio>
#include <utility>

namespace media {

namespace {

std::string named(const char* name, unsigned code) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", code);
    return name ? std::string(name) + " (" + hex + ")" : std::string(hex);
}

}  // namespace

std::string glErrorName(unsigned code) {
    static constexpr std::pair<unsigned, const char*> kNames[] = {
        {GL_INVALID_ENUM, "GL_INVALID_ENUM"},
        {GL_INVALID_VALUE, "GL_INVALID_VALUE"},
        {GL_INVALID_OPERATION, "GL_INVALID_OPERATION"},
        {GL_OUT_OF_MEMORY, "GL_OUT_OF_MEMORY"},
        {GL_INVALID_FRAMEBUFFER_OPERATION, "GL_INVALID_FRAMEBUFFER_OPERATION"},
        {GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT, "GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT"},
        {GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT,
         "GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT"},
        {GL_FRAMEBUFFER_UNSUPPORTED, "GL_FRAMEBUFFER_UNSUPPORTED"},
    };
    for (const auto& [value, name] : kNames) {
        if (value == code) return named(name, code);
    }
    return named(nullptr, code);
}

std::string eglErrorName(int code) {
    static constexpr std::pair<int, const char*> kNames[] = {
        {0x3001, "EGL_NOT_INITIALIZED"}, {0x3002, "EGL_BAD_ACCESS"}, {0x3003, "EGL_BAD_ALLOC"},
        {0x3004, "EGL_BAD_ATTRIBUTE"},   {0x3005, "EGL_BAD_CONFIG"}, {0x3006, "EGL_BAD_CONTEXT"},
        {0x3008, "EGL_BAD_DISPLAY"},     {0x3009, "EGL_BAD_MATCH"},  {0x300C, "EGL_BAD_PARAMETER"},
        {0x300D, "EGL_BAD_SURFACE"},
    };
    for (const auto& [value, name] : kNames) {
        if (value == code) return named(name, static_cast<unsigned>(code));
    }
    return named(nullptr, static_cast<unsigned>(code));
}

std::string takeGLErrors(const std::string& operation) {
    GLenum first = GL_NO_ERROR;
    // A context can hold one flag per kind of error: a bounded drain.
    for (int i = 0; i < 16; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) break;
        if (first == GL_NO_ERROR) first = error;
    }
    if (first == GL_NO_ERROR) return {};
    return operation + " failed: " + glErrorName(first);
}

}  // namespace media
