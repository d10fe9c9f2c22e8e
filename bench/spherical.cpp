// One frame of 360-degree video on Mesa's software rasteriser (llvmpipe):
// the SDK's spherical shader takes a 1920x960 NV12 frame (a GL_RED luma and
// a GL_RG chroma texture through the texture cache) and draws the view of
// it into a 750x500-pixel GL view (375x250 points at scale 2), casting one
// ray per pixel. The frames-per-second counters say how many such frames
// one render thread manages.
//  - UploadAndDraw: a new frame's textures and the draw, waiting for GL.
//  - Redraw: the draw alone, as when no new frame came.
//  - UploadDrawAndReadBack: the whole display() of the view, with the
//    read-back that becomes its picture.

#include <GLES3/gl3.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ads/video/DZGLSphericalShader.h"
#include "core/RunLoop.h"
#include "media/GLContext.h"
#include "media/GLView.h"
#include "media/PixelBuffer.h"

namespace {

struct Scene : media::GLViewDelegate {
    std::shared_ptr<media::GLContext> context;
    std::shared_ptr<ads::DZGLSphericalShader> shader;
    std::shared_ptr<const media::PixelBuffer> frame;
    std::shared_ptr<media::GLView> view;

    bool draw(const std::shared_ptr<const media::PixelBuffer>& buffer) {
        const gfx::Rect viewport{0, 0, double(view->drawableWidth()),
                                 double(view->drawableHeight())};
        return shader->displayPixelBuffer(buffer, viewport);
    }
    void glView(media::GLView&, const gfx::Rect&) override { (void)draw(frame); }
};

[[noreturn]] void quit(const char* what, const std::string& reason) {
    std::fprintf(stderr, "bench_spherical: %s: %s\n", what, reason.c_str());
    std::exit(1);
}

Scene& scene() {
    static auto* made = [] {
        core::RunLoop::bindMainToCurrentThread();
        auto scene = std::make_shared<Scene>();
        std::string reason;
        scene->context = media::GLContext::create(&reason);
        if (!scene->context || !media::GLContext::setCurrent(scene->context))
            quit("no GL context", reason);
        ads::Error error;
        scene->shader = ads::DZGLSphericalShader::create(0.2, 0.2, &error);
        if (!scene->shader) quit("no spherical shader", error.message);
        auto frame = media::PixelBuffer::create(1920, 960, media::ColorMatrix::itu709);
        for (int y = 0; y < frame->height(); ++y) {
            std::uint8_t* luma = frame->mutableBaseAddress(0) + y * frame->bytesPerRow(0);
            for (int x = 0; x < frame->width(); ++x) luma[x] = std::uint8_t(16 + (x + y) % 220);
        }
        for (int y = 0; y < frame->chromaHeight(); ++y) {
            std::uint8_t* pairs = frame->mutableBaseAddress(1) + y * frame->bytesPerRow(1);
            for (int x = 0; x < frame->chromaWidth(); ++x) {
                pairs[2 * x] = std::uint8_t(x / 4);
                pairs[2 * x + 1] = std::uint8_t(y / 2);
            }
        }
        scene->frame = std::move(frame);
        scene->view = std::make_shared<media::GLView>(gfx::Rect{0, 0, 375, 250}, scene->context);
        scene->view->setContentScaleFactor(2);
        scene->view->setDelegate(scene);
        if (!scene->view->display()) quit("no drawable", scene->view->lastError());
        return new std::shared_ptr<Scene>(scene);
    }();
    return **made;
}

void countFrames(benchmark::State& state) {
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_UploadAndDraw(benchmark::State& state) {
    Scene& s = scene();
    s.view->bindDrawable();
    for (auto _ : state) {
        if (!s.draw(s.frame)) state.SkipWithError("the frame's textures were refused");
        glFinish();
    }
    countFrames(state);
}
BENCHMARK(BM_UploadAndDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Redraw(benchmark::State& state) {
    Scene& s = scene();
    s.view->bindDrawable();
    (void)s.draw(s.frame);
    for (auto _ : state) {
        (void)s.draw(nullptr);
        glFinish();
    }
    countFrames(state);
}
BENCHMARK(BM_Redraw)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UploadDrawAndReadBack(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        if (!s.view->display()) state.SkipWithError(s.view->lastError().c_str());
    }
    state.counters["width"] = s.view->drawableWidth();
    state.counters["height"] = s.view->drawableHeight();
    countFrames(state);
}
BENCHMARK(BM_UploadDrawAndReadBack)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
