// One frame of 360-degree video on Mesa's software rasteriser (llvmpipe):
// a 1920x960 NV12 frame uploaded through the texture cache (a GL_RED luma
// and a GL_RG chroma texture) and drawn over a 750x500-pixel GL view (375x250
// points at scale 2). The frames-per-second counters say how many such
// frames one render thread manages. The drawing is a plain textured quad
// converting YUV to RGB until the SDK's spherical program replaces it; it
// goes through each pixel once, as that program does.
//  - Upload: the two textures alone.
//  - UploadAndDraw: upload, draw, and wait for GL to finish.
//  - UploadDrawAndReadBack: the whole display() of the view, with the
//    read-back that becomes its picture.

#include <GLES3/gl3.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "NV12Quad.h"
#include "core/RunLoop.h"
#include "media/GLContext.h"
#include "media/GLView.h"
#include "media/TextureCache.h"

namespace {

using testsupport::NV12Frame;
using testsupport::NV12Quad;

struct Scene : media::GLViewDelegate {
    std::shared_ptr<media::GLContext> context;
    std::shared_ptr<media::TextureCache> cache;
    std::unique_ptr<NV12Quad> quad;
    NV12Frame frame;
    std::shared_ptr<media::GLView> view;

    void upload() {
        std::string error;
        if (!quad->upload(*cache, frame, &error)) {
            std::fprintf(stderr, "bench_spherical: %s\n", error.c_str());
            std::exit(1);
        }
        cache->flush();
    }
    void glView(media::GLView&, const gfx::Rect&) override {
        upload();
        quad->draw();
    }
};

Scene& scene() {
    static auto* made = [] {
        core::RunLoop::bindMainToCurrentThread();
        auto scene = std::make_shared<Scene>();
        std::string error;
        scene->context = media::GLContext::create(&error);
        if (!scene->context || !media::GLContext::setCurrent(scene->context)) {
            std::fprintf(stderr, "bench_spherical: no GL context: %s\n", error.c_str());
            std::exit(1);
        }
        scene->cache = media::TextureCache::create(scene->context);
        scene->quad = NV12Quad::create(&error);
        if (!scene->quad) {
            std::fprintf(stderr, "bench_spherical: %s\n", error.c_str());
            std::exit(1);
        }
        scene->frame = NV12Frame::make(1920, 960, 0, [](int x, int y) {
            return testsupport::YUV{std::uint8_t(16 + (x + y) % 220), std::uint8_t(x / 8),
                                    std::uint8_t(y / 4)};
        });
        scene->view = std::make_shared<media::GLView>(gfx::Rect{0, 0, 375, 250}, scene->context);
        scene->view->setContentScaleFactor(2);
        scene->view->setDelegate(scene);
        return new std::shared_ptr<Scene>(scene);
    }();
    return **made;
}

void countFrames(benchmark::State& state) {
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Upload(benchmark::State& state) {
    Scene& s = scene();
    for (auto _ : state) {
        s.upload();
        glFinish();
    }
    countFrames(state);
}
BENCHMARK(BM_Upload)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UploadAndDraw(benchmark::State& state) {
    Scene& s = scene();
    if (!s.view->display()) state.SkipWithError(s.view->lastError().c_str());
    for (auto _ : state) {
        s.view->bindDrawable();
        s.glView(*s.view, {});
        glFinish();
    }
    countFrames(state);
}
BENCHMARK(BM_UploadAndDraw)->Unit(benchmark::kMillisecond)->UseRealTime();

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
