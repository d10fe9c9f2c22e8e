#pragma once
// Shared set-up of the GL tests: a context current on the test's thread for
// the test's lifetime, and reading back what GL drew.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "media/GLContext.h"

namespace testsupport {

class GLTest : public testing::Test {
protected:
    void SetUp() override {
        std::string reason;
        context_ = media::GLContext::create(&reason);
        ASSERT_TRUE(context_) << reason;
        ASSERT_TRUE(media::GLContext::setCurrent(context_));
    }
    void TearDown() override { media::GLContext::releaseThread(); }

    std::shared_ptr<media::GLContext> context_;
};

// The RGBA bytes at (x, y) of the bound read framebuffer, GL's rows bottom up.
std::array<int, 4> readPixel(int x, int y);

}  // namespace testsupport
