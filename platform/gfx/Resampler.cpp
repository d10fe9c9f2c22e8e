#include "gfx/Resampler.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace gfx {

namespace {

constexpr std::uint32_t kOne = 256;  // the weights of one result pixel add up to this

// The source pixels one result pixel covers along one axis: `count` pixels
// from `first`, with their weights (adding up to kOne) at `weights`.
struct Span {
    int first = 0;
    int count = 0;
    size_t weights = 0;
};

struct Axis {
    std::vector<Span> spans;
    std::vector<std::uint32_t> weights;

    void build(int source, int result) {
        spans.clear();
        weights.clear();
        const double step = double(source) / result;
        for (int i = 0; i < result; ++i) {
            const double begin = i * step;
            const double end = std::min(double(source), (i + 1) * step);
            Span span;
            span.first = static_cast<int>(begin);
            span.weights = weights.size();
            std::uint32_t sum = 0;
            size_t largest = weights.size();
            for (int s = span.first; s < source && s < end; ++s) {
                const double cover = std::min(end, s + 1.0) - std::max(begin, double(s));
                const auto weight = static_cast<std::uint32_t>(std::lround(cover / step * kOne));
                weights.push_back(weight);
                sum += weight;
                if (weight > weights[largest]) largest = weights.size() - 1;
                ++span.count;
            }
            // Rounding may leave the sum a little off: the largest share takes
            // the difference, so flat areas keep their exact colour.
            weights[largest] += kOne - sum;
            spans.push_back(span);
        }
    }
};

struct Buffers {
    Axis columns;
    Axis rows;
    std::vector<std::uint32_t> line;  // one source row shrunk across, 4 channels in 8.8
    std::vector<std::uint32_t> sums;  // the result row being gathered, 4 channels in 8.16
};

void shrinkRow(const std::uint32_t* src, const Axis& columns, std::uint32_t* line) {
    for (const Span& span : columns.spans) {
        std::uint32_t b = 0, g = 0, r = 0, a = 0;
        const std::uint32_t* weight = columns.weights.data() + span.weights;
        const std::uint32_t* pixel = src + span.first;
        for (int k = 0; k < span.count; ++k) {
            const std::uint32_t p = pixel[k];
            const std::uint32_t w = weight[k];
            b += (p & 0xFF) * w;
            g += ((p >> 8) & 0xFF) * w;
            r += ((p >> 16) & 0xFF) * w;
            a += (p >> 24) * w;
        }
        line[0] = b;
        line[1] = g;
        line[2] = r;
        line[3] = a;
        line += 4;
    }
}

// Exact halving, as after a scaled decode one step above the result: each
// result pixel is the rounded mean of its 2x2 block, which is what the
// weights below give for it, two channels at a time in 16-bit lanes.
void halve(const std::uint32_t* src, int srcWidth, std::uint32_t* dst, int dstWidth,
           int dstHeight) {
    constexpr std::uint32_t kLanes = 0x00FF00FF;
    constexpr std::uint32_t kHalf = 0x00020002;
    for (int y = 0; y < dstHeight; ++y) {
        const std::uint32_t* top = src + static_cast<size_t>(2 * y) * srcWidth;
        const std::uint32_t* bottom = top + srcWidth;
        std::uint32_t* out = dst + static_cast<size_t>(y) * dstWidth;
        for (int x = 0; x < dstWidth; ++x, top += 2, bottom += 2) {
            const std::uint32_t even = (top[0] & kLanes) + (top[1] & kLanes) +
                                       (bottom[0] & kLanes) + (bottom[1] & kLanes) + kHalf;
            const std::uint32_t odd = (top[0] >> 8 & kLanes) + (top[1] >> 8 & kLanes) +
                                      (bottom[0] >> 8 & kLanes) + (bottom[1] >> 8 & kLanes) + kHalf;
            out[x] = (even >> 2 & kLanes) | (odd >> 2 & kLanes) << 8;
        }
    }
}

}  // namespace

void Resampler::shrink(const std::uint32_t* src, int srcWidth, int srcHeight, std::uint32_t* dst,
                       int dstWidth, int dstHeight) {
    if (srcWidth == 2 * dstWidth && srcHeight == 2 * dstHeight) {
        halve(src, srcWidth, dst, dstWidth, dstHeight);
        return;
    }
    thread_local Buffers buffers;
    buffers.columns.build(srcWidth, dstWidth);
    buffers.rows.build(srcHeight, dstHeight);
    const size_t channels = static_cast<size_t>(dstWidth) * 4;
    buffers.line.resize(channels);
    buffers.sums.resize(channels);

    for (int y = 0; y < dstHeight; ++y) {
        const Span& span = buffers.rows.spans[static_cast<size_t>(y)];
        std::fill(buffers.sums.begin(), buffers.sums.end(), 0u);
        for (int k = 0; k < span.count; ++k) {
            const std::uint32_t weight = buffers.rows.weights[span.weights + k];
            if (weight == 0) continue;
            shrinkRow(src + static_cast<size_t>(span.first + k) * srcWidth, buffers.columns,
                      buffers.line.data());
            for (size_t c = 0; c < channels; ++c) buffers.sums[c] += buffers.line[c] * weight;
        }
        std::uint32_t* out = dst + static_cast<size_t>(y) * dstWidth;
        const std::uint32_t* sum = buffers.sums.data();
        for (int x = 0; x < dstWidth; ++x, sum += 4) {
            const auto channel = [&](int c) { return std::min((sum[c] + 32768) >> 16, 255u); };
            out[x] = channel(0) | channel(1) << 8 | channel(2) << 16 | channel(3) << 24;
        }
    }
}

}  // namespace gfx
