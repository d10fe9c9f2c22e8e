#include "ads/foundation/DZCallLog.h"

#include <deque>
#include <mutex>

namespace ads {

namespace {

struct Log {
    std::mutex mutex;
    std::deque<std::string> entries;
};

Log& log() {
    static Log* const shared = new Log;
    return *shared;
}

}  // namespace

void DZCallLog::record(std::string entry) {
    Log& shared = log();
    std::lock_guard lock(shared.mutex);
    if (shared.entries.size() == kCapacity) shared.entries.pop_front();
    shared.entries.push_back(std::move(entry));
}

std::vector<std::string> DZCallLog::entries() {
    Log& shared = log();
    std::lock_guard lock(shared.mutex);
    return {shared.entries.begin(), shared.entries.end()};
}

void DZCallLog::clear() {
    Log& shared = log();
    std::lock_guard lock(shared.mutex);
    shared.entries.clear();
}

}  // namespace ads
