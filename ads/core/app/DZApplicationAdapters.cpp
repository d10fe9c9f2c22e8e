#include <algorithm>
#include <mutex>
#include <set>

#include "ads/core/app/DZApplication.h"

namespace ads {

namespace {

struct AdapterRegistry {
    std::mutex mutex;
    std::set<std::string, std::less<>> names;
};

AdapterRegistry& registry() {
    static auto* const shared = new AdapterRegistry;
    return *shared;
}

}  // namespace

void DZApplication::registerAdapterClassName(std::string name) {
    std::lock_guard lock(registry().mutex);
    registry().names.insert(std::move(name));
}

void DZApplication::unregisterAdapterClassName(const std::string& name) {
    std::lock_guard lock(registry().mutex);
    registry().names.erase(name);
}

std::vector<std::string>
DZApplication::availableAdapterNamesInSet(const std::vector<std::string>& names) {
    std::lock_guard lock(registry().mutex);
    std::vector<std::string> present;
    for (const auto& name : names)
        if (registry().names.count(name) &&
            std::find(present.begin(), present.end(), name) == present.end())
            present.push_back(name);
    return present;
}

void DZApplication::updateAvailableAdapterNamesWithPotentialAdapterNames(
    const std::optional<std::vector<std::string>>& names) {
    std::vector<std::string> candidates = names.value_or(std::vector<std::string>{});
    for (const char* builtIn : kBuiltInAdapterClassNames) candidates.emplace_back(builtIn);
    setAvailableAdapterNames(availableAdapterNamesInSet(candidates));
}

}  // namespace ads
