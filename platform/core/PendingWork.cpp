#include "core/PendingWork.h"

#include "core/NetworkThread.h"
#include "core/RunLoop.h"
#include "core/ThreadPool.h"

namespace core {

bool PendingWork::offMainThread() {
    return NetworkThread::shared().exchangeCount() > 0 ||
           ThreadPool::shared().pendingJobCount() > 0;
}

bool PendingWork::any() {
    if (offMainThread()) return true;
    const auto work = RunLoop::main().secondsUntilWork();
    return work && *work <= 0;
}

}  // namespace core
