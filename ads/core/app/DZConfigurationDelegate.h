#pragma once
// Told after a DZConfiguration changed, on a global queue.

#include <memory>

namespace ads {

class DZConfiguration;

class DZConfigurationDelegate {
public:
    virtual ~DZConfigurationDelegate() = default;
    virtual void configurationDidUpdate(const std::shared_ptr<DZConfiguration>& configuration) = 0;
};

}  // namespace ads
