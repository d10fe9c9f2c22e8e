#include "NV12Quad.h"

#include <GLES3/gl3.h>

#include <algorithm>
#include <cmath>

namespace testsupport {

namespace {

constexpr const char* kVertexSource = R"(#version 300 es
layout(location = 0) in vec2 position;
out vec2 texCoord;
void main() {
    texCoord = vec2(position.x * 0.5 + 0.5, 0.5 - position.y * 0.5);
    gl_Position = vec4(position, 0.0, 1.0);
}
)";

constexpr const char* kFragmentSource = R"(#version 300 es
precision highp float;
uniform sampler2D lumaTexture;
uniform sampler2D chromaTexture;
in vec2 texCoord;
out vec4 colour;
void main() {
    float y = 1.164 * (texture(lumaTexture, texCoord).r - 16.0 / 255.0);
    vec2 uv = texture(chromaTexture, texCoord).rg - 128.0 / 255.0;
    colour = vec4(y + 1.596 * uv.y, y - 0.392 * uv.x - 0.813 * uv.y, y + 2.017 * uv.x, 1.0);
}
)";

unsigned compile(GLenum type, const char* source, std::string* error) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok) return shader;
    char log[512] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    if (error) *error = log;
    glDeleteShader(shader);
    return 0;
}

}  // namespace

NV12Frame NV12Frame::make(int width, int height, int padding,
                          const std::function<YUV(int x, int y)>& colourAt) {
    NV12Frame frame;
    frame.width = width;
    frame.height = height;
    frame.lumaBytesPerRow = width + padding;
    frame.chromaBytesPerRow = frame.chromaWidth() * 2 + padding;
    frame.luma.assign(static_cast<size_t>(frame.lumaBytesPerRow) * height, 0);
    frame.chroma.assign(static_cast<size_t>(frame.chromaBytesPerRow) * frame.chromaHeight(), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const YUV yuv = colourAt(x, y);
            frame.luma[static_cast<size_t>(y) * frame.lumaBytesPerRow + x] = yuv[0];
            if (x % 2 || y % 2) continue;
            auto* uv = &frame.chroma[static_cast<size_t>(y / 2) * frame.chromaBytesPerRow + x];
            uv[0] = yuv[1];
            uv[1] = yuv[2];
        }
    }
    return frame;
}

media::TexturePlane NV12Frame::lumaPlane() const {
    return {luma.data(), width, height, lumaBytesPerRow};
}

media::TexturePlane NV12Frame::chromaPlane() const {
    return {chroma.data(), chromaWidth(), chromaHeight(), chromaBytesPerRow};
}

std::unique_ptr<NV12Quad> NV12Quad::create(std::string* error) {
    const unsigned vertex = compile(GL_VERTEX_SHADER, kVertexSource, error);
    const unsigned fragment = vertex ? compile(GL_FRAGMENT_SHADER, kFragmentSource, error) : 0;
    if (!fragment) {
        glDeleteShader(vertex);
        return nullptr;
    }
    std::unique_ptr<NV12Quad> quad(new NV12Quad);
    quad->program_ = glCreateProgram();
    glAttachShader(quad->program_, vertex);
    glAttachShader(quad->program_, fragment);
    glLinkProgram(quad->program_);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(quad->program_, GL_LINK_STATUS, &linked);
    if (!linked) {
        if (error) *error = "linking the NV12 program failed";
        return nullptr;
    }
    glUseProgram(quad->program_);
    glUniform1i(glGetUniformLocation(quad->program_, "lumaTexture"), 0);
    glUniform1i(glGetUniformLocation(quad->program_, "chromaTexture"), 1);
    static constexpr float kCorners[] = {-1, -1, 1, -1, -1, 1, 1, 1};
    glGenBuffers(1, &quad->vertexBuffer_);
    glBindBuffer(GL_ARRAY_BUFFER, quad->vertexBuffer_);
    glBufferData(GL_ARRAY_BUFFER, sizeof kCorners, kCorners, GL_STATIC_DRAW);
    return quad;
}

NV12Quad::~NV12Quad() {
    glDeleteBuffers(1, &vertexBuffer_);
    glDeleteProgram(program_);
}

bool NV12Quad::upload(media::TextureCache& cache, const NV12Frame& frame, std::string* error) {
    glActiveTexture(GL_TEXTURE0);
    auto luma = cache.createTexture(frame.lumaPlane(), GL_RED, error);
    glActiveTexture(GL_TEXTURE1);
    auto chroma = luma ? cache.createTexture(frame.chromaPlane(), GL_RG, error) : nullptr;
    if (!chroma) return false;
    luma_ = std::move(luma);
    chroma_ = std::move(chroma);
    return true;
}

void NV12Quad::draw() const {
    glUseProgram(program_);
    if (luma_ && chroma_) {
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, luma_->name());
        glActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, chroma_->name());
    }
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

std::array<int, 3> NV12Quad::expectedRGB(YUV yuv) {
    const double y = 1.164 * (yuv[0] - 16) / 255.0;
    const double u = (yuv[1] - 128) / 255.0;
    const double v = (yuv[2] - 128) / 255.0;
    const double rgb[] = {y + 1.596 * v, y - 0.392 * u - 0.813 * v, y + 2.017 * u};
    std::array<int, 3> bytes{};
    for (size_t i = 0; i < 3; ++i) {
        bytes[i] = static_cast<int>(std::lround(std::clamp(rgb[i], 0.0, 1.0) * 255));
    }
    return bytes;
}

}  // namespace testsupport
