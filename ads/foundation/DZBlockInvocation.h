#pragma once
// Lets a block stand where a target and an action are needed, such as the
// body of a thread of the SDK's own.

#include <functional>
#include <memory>

namespace ads {

class DZBlockInvocation {
public:
    using Block = std::function<void(const std::shared_ptr<void>&)>;

    explicit DZBlockInvocation(Block block) : block_(std::move(block)) {}
    void invokeBlockWithObject(const std::shared_ptr<void>& object) const {
        if (block_) block_(object);
    }

private:
    Block block_;
};

}  // namespace ads
