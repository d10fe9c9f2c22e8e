#pragma once
// Building GL programs from source text, with SDK errors (code 11, the
// message as description) for what goes wrong; an error is only written
// when an error out-pointer is given. Call where a GL context is current.

#include <string>

#include "ads/core/request/DZError.h"

namespace ads {

// Sets the one source string of shader, compiles it and reads the status.
// Shader id 0: "Invalid shader identifier."; a failed compile:
// "Failed compiling shader source: <source> type <shaderType>".
[[nodiscard]] bool DZCompileGLShader(unsigned shader, const std::string& source,
                                     long long shaderType, Error* error = nullptr);

// Compiles a vertex and a fragment shader (the fragment one only once the
// vertex one compiled), links them into a new program and stores its id in
// *program. The shaders are detached and deleted whatever happens; the
// program is deleted when anything fails.
[[nodiscard]] bool DZCreateGLProgram(const std::string& vertexSource,
                                     const std::string& fragmentSource, unsigned* program,
                                     Error* error = nullptr);

}  // namespace ads
