#pragma once
// Names of GL and EGL error codes for messages, and the step that turns the
// GL errors pending on the current context into a message.

#include <string>

namespace media {

// "GL_INVALID_VALUE (0x501)"; unknown codes as hexadecimal alone.
[[nodiscard]] std::string glErrorName(unsigned code);
// "EGL_BAD_MATCH (0x3009)".
[[nodiscard]] std::string eglErrorName(int code);
// Reads every error pending on the current context: empty when none,
// else "<operation> failed: " and the first error's name.
[[nodiscard]] std::string takeGLErrors(const std::string& operation);

}  // namespace media
