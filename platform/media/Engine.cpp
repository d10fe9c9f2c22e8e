#include "media/Engine.h"

#include <mutex>
#include <utility>

#include "media/FFmpegEngine.h"

namespace media {

namespace {

struct Registry {
    std::mutex mutex;
    std::shared_ptr<Engine> engine;
    Engine::Factory factory;
};

Registry& registry() {
    static Registry* instance = new Registry;  // used until the process ends
    return *instance;
}

}  // namespace

std::shared_ptr<Engine> Engine::current() {
    auto& shared = registry();
    const std::lock_guard lock(shared.mutex);
    if (!shared.engine) {
        shared.engine = shared.factory ? shared.factory() : FFmpegEngine::create();
    }
    return shared.engine;
}

std::shared_ptr<Engine> Engine::install(std::shared_ptr<Engine> engine) {
    auto& shared = registry();
    const std::lock_guard lock(shared.mutex);
    return std::exchange(shared.engine, std::move(engine));
}

void Engine::setDefaultFactory(Factory factory) {
    auto& shared = registry();
    const std::lock_guard lock(shared.mutex);
    shared.factory = std::move(factory);
}

}  // namespace media
