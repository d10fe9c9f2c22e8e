#include "core/URLProtocolRegistry.h"

#include <algorithm>

namespace core {

URLProtocolRegistry& URLProtocolRegistry::shared() {
    static auto* registry = new URLProtocolRegistry();
    return *registry;
}

bool URLProtocolRegistry::registerFactory(std::shared_ptr<URLProtocolFactory> factory) {
    if (!factory) return false;
    std::lock_guard lock(mutex_);
    if (std::find(factories_.begin(), factories_.end(), factory) != factories_.end()) return false;
    factories_.push_back(std::move(factory));
    return true;
}

void URLProtocolRegistry::unregisterFactory(const std::shared_ptr<URLProtocolFactory>& factory) {
    std::lock_guard lock(mutex_);
    std::erase(factories_, factory);
}

std::shared_ptr<URLProtocolFactory>
URLProtocolRegistry::factoryForRequest(const URLRequest& request) const {
    std::vector<std::shared_ptr<URLProtocolFactory>> factories;
    {
        std::lock_guard lock(mutex_);
        factories = factories_;
    }
    for (auto factory = factories.rbegin(); factory != factories.rend(); ++factory) {
        const std::string key = (*factory)->ownPropertyKey();
        if (!key.empty() && request.hasProperty(key)) continue;
        const URLRequest copy = request;
        if ((*factory)->canInit(copy)) return *factory;
    }
    return nullptr;
}

}  // namespace core
