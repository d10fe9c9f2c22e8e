#include "web/MainLoop.h"

#include <glib-unix.h>
#include <glib.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "core/Clock.h"
#include "core/Fatal.h"
#include "core/RunLoop.h"

namespace web {

namespace {

constexpr double kLongestWaitSeconds = 3600;

int toMilliseconds(double seconds) {
    return int(std::ceil(std::clamp(seconds, 0.0, kLongestWaitSeconds) * 1000 - 1e-6));
}

// The run loop as a GLib source: ready when a pass has work, else a
// time-out until its next timer on a clock that moves by itself.
struct RunLoopSource {
    GSource base;
    core::RunLoop* loop;
};

gboolean prepareRunLoop(GSource* source, gint* timeout) {
    const auto until = reinterpret_cast<RunLoopSource*>(source)->loop->secondsUntilWork();
    *timeout = -1;
    if (!until) return FALSE;
    if (*until <= 0) {
        *timeout = 0;
        return TRUE;
    }
    if (core::Clock::current()->advancesOnItsOwn()) *timeout = toMilliseconds(*until);
    return FALSE;
}

gboolean checkRunLoop(GSource* source) {
    const auto until = reinterpret_cast<RunLoopSource*>(source)->loop->secondsUntilWork();
    return until && *until <= 0;
}

gboolean dispatchRunLoop(GSource* source, GSourceFunc, gpointer) {
    (void)reinterpret_cast<RunLoopSource*>(source)->loop->dispatchFromHost();
    return G_SOURCE_CONTINUE;
}

GSourceFuncs runLoopFuncs = {prepareRunLoop, checkRunLoop, dispatchRunLoop,
                             nullptr,        nullptr,      nullptr};

// A descriptor watched for readability, or for events already buffered.
struct WatchSource {
    GSource base;
    gpointer tag;
    std::function<bool()>* hasBuffered;
};

gboolean prepareWatch(GSource* source, gint* timeout) {
    *timeout = -1;
    return (*reinterpret_cast<WatchSource*>(source)->hasBuffered)();
}

gboolean checkWatch(GSource* source) {
    auto* watch = reinterpret_cast<WatchSource*>(source);
    return (g_source_query_unix_fd(source, watch->tag) & (G_IO_IN | G_IO_HUP | G_IO_ERR)) ||
           (*watch->hasBuffered)();
}

gboolean dispatchWatch(GSource*, GSourceFunc, gpointer) {
    return G_SOURCE_CONTINUE;  // waking the wait is all it is for
}

void finalizeWatch(GSource* source) {
    delete reinterpret_cast<WatchSource*>(source)->hasBuffered;
}

GSourceFuncs watchFuncs = {prepareWatch,  checkWatch, dispatchWatch,
                           finalizeWatch, nullptr,    nullptr};

class GLibHost final : public core::RunLoopHost {
public:
    GLibHost(core::RunLoop& loop, GMainContext* context) : context_(g_main_context_ref(context)) {
        source_ = g_source_new(&runLoopFuncs, sizeof(RunLoopSource));
        reinterpret_cast<RunLoopSource*>(source_)->loop = &loop;
        g_source_set_name(source_, "core::RunLoop");
        // A task that runs the loop again (runUntil in a callback) needs the
        // source to dispatch while its outer dispatch is under way.
        g_source_set_can_recurse(source_, TRUE);
        g_source_attach(source_, context_);
    }
    ~GLibHost() override {
        g_source_destroy(source_);
        g_source_unref(source_);
        g_main_context_unref(context_);
    }
    GLibHost(const GLibHost&) = delete;
    GLibHost& operator=(const GLibHost&) = delete;

    void iterate(std::optional<double> maxSeconds) override {
        if (!g_main_context_acquire(context_))
            core::fatal("web::MainLoop: the loop's GLib context belongs to another thread");
        gint maxPriority = 0;
        g_main_context_prepare(context_, &maxPriority);
        gint timeout = -1;
        gint count = 0;
        while ((count = g_main_context_query(context_, maxPriority, &timeout, fds_.data(),
                                             gint(fds_.size()))) > gint(fds_.size())) {
            fds_.resize(size_t(count));
        }
        if (maxSeconds) {
            const int cap = toMilliseconds(*maxSeconds);
            timeout = timeout < 0 ? cap : std::min(timeout, cap);
        }
        g_main_context_get_poll_func(context_)(fds_.data(), guint(count), timeout);
        g_main_context_check(context_, maxPriority, fds_.data(), count);
        g_main_context_dispatch(context_);
        g_main_context_release(context_);
    }

    void wake() override { g_main_context_wakeup(context_); }

    std::shared_ptr<void> watchReadable(int fd, std::function<bool()> hasBuffered) override {
        GSource* source = g_source_new(&watchFuncs, sizeof(WatchSource));
        auto* watch = reinterpret_cast<WatchSource*>(source);
        watch->hasBuffered = new std::function<bool()>(
            hasBuffered ? std::move(hasBuffered) : std::function<bool()>([] { return false; }));
        watch->tag = g_source_add_unix_fd(source, fd, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR));
        g_source_set_name(source, "watched descriptor");
        g_source_attach(source, context_);
        return std::shared_ptr<void>(source, [](void* pointer) {
            auto* attached = static_cast<GSource*>(pointer);
            g_source_destroy(attached);
            g_source_unref(attached);
        });
    }

private:
    GMainContext* context_;
    GSource* source_;
    std::vector<GPollFD> fds_ = std::vector<GPollFD>(16);
};

}  // namespace

void MainLoop::install() {
    core::RunLoop& loop = core::RunLoop::main();
    if (!core::RunLoop::isMainThread())
        core::fatal("web::MainLoop::install: not on the main thread");
    if (loop.host()) return;
    loop.setHost(host(loop, g_main_context_default()));
}

std::shared_ptr<core::RunLoopHost> MainLoop::host(core::RunLoop& loop, GMainContext* context) {
    return std::make_shared<GLibHost>(loop, context);
}

bool MainLoop::isInstalled() {
    return core::RunLoop::main().host() != nullptr;
}

}  // namespace web
