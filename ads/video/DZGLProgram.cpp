#include "ads/video/DZGLProgram.h"

#include <GLES3/gl3.h>

namespace ads {

namespace {

bool fail(Error* error, std::string message) {
    if (error) *error = DZErrorWithCodeDescription(kDZErrorInternalError, std::move(message));
    return false;
}

}  // namespace

bool DZCompileGLShader(unsigned shader, const std::string& source, long long shaderType,
                       Error* error) {
    if (shader == 0) return fail(error, "Invalid shader identifier.");
    const GLchar* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != GL_TRUE) {
        return fail(error, "Failed compiling shader source: " + source + " type " +
                               std::to_string(shaderType));
    }
    return true;
}

bool DZCreateGLProgram(const std::string& vertexSource, const std::string& fragmentSource,
                       unsigned* program, Error* error) {
    if (!program) {
        return fail(error,
                    "Couldn't create OpenGL program as the output program pointer is empty.");
    }
    const GLuint vertexShader = glCreateShader(GL_VERTEX_SHADER);
    const GLuint fragmentShader = glCreateShader(GL_FRAGMENT_SHADER);
    const GLuint created = glCreateProgram();

    bool attached = false;
    bool ok = DZCompileGLShader(vertexShader, vertexSource, GL_VERTEX_SHADER, error) &&
              DZCompileGLShader(fragmentShader, fragmentSource, GL_FRAGMENT_SHADER, error);
    if (ok) {
        if (vertexShader == 0 || fragmentShader == 0 || created == 0) {
            ok = fail(error, "OpenGL shaders invalid.");
        } else {
            glAttachShader(created, vertexShader);
            glAttachShader(created, fragmentShader);
            attached = true;
            glLinkProgram(created);
            GLint status = GL_FALSE;
            glGetProgramiv(created, GL_LINK_STATUS, &status);
            if (status != GL_TRUE) {
                ok =
                    fail(error,
                         "Failed linking OpenGL program with created vertex and fragment shaders.");
            }
        }
    }
    for (const GLuint shader : {vertexShader, fragmentShader}) {
        if (shader == 0) continue;
        if (attached) glDetachShader(created, shader);
        glDeleteShader(shader);
    }
    if (ok) {
        *program = created;
    } else if (created != 0) {
        glDeleteProgram(created);
    }
    return ok;
}

}  // namespace ads
