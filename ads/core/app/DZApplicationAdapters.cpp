#include "ads/core/app/DZApplication.h"
#include "ads/mediation/core/DZMAdNetworkAdapter.h"

namespace ads {

std::vector<std::string>
DZApplication::availableAdapterNamesInSet(const std::vector<std::string>& names) {
    return DZMAdNetworkAdapter::availableAdapterNamesInSet(names);
}

void DZApplication::updateAvailableAdapterNamesWithPotentialAdapterNames(
    const std::optional<std::vector<std::string>>& names) {
    std::vector<std::string> candidates = names.value_or(std::vector<std::string>{});
    for (const char* builtIn : kBuiltInAdapterClassNames) candidates.emplace_back(builtIn);
    setAvailableAdapterNames(availableAdapterNamesInSet(candidates));
}

}  // namespace ads
