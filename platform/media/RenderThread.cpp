#include "media/RenderThread.h"

#include <utility>

#include "core/RunLoop.h"
#include "media/GLContext.h"

namespace media {

std::shared_ptr<core::Thread> startRenderThread(std::string name, core::Thread::Entry entry) {
    return core::Thread::start(std::move(name), [entry = std::move(entry)] {
        if (entry) {
            entry();
        } else {
            core::RunLoop::current().run();
        }
        GLContext::releaseThread();
    });
}

}  // namespace media
