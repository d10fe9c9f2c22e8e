#include "SharedStateReset.h"

#include <vector>

#include "core/UserDefaults.h"

namespace testsupport {

namespace {

std::vector<std::function<void()>>& resets() {
    static std::vector<std::function<void()>> added;
    return added;
}

}  // namespace

void SharedStateReset::addReset(std::function<void()> reset) {
    resets().push_back(std::move(reset));
}

void SharedStateReset::OnTestStart(const testing::TestInfo&) {
    defaults_ = core::UserDefaults::standard()->dictionaryRepresentation();
}

void SharedStateReset::OnTestEnd(const testing::TestInfo&) {
    for (const auto& reset : resets()) reset();
    const auto defaults = core::UserDefaults::standard();
    const core::Dictionary now = defaults->dictionaryRepresentation();
    for (const auto& [key, value] : now) {
        if (!defaults_.contains(key)) defaults->removeObjectForKey(key);
    }
    for (const auto& [key, value] : defaults_) {
        const core::Value* current = now.find(key);
        if (!current || !(*current == value)) defaults->setObject(key, value);
    }
}

}  // namespace testsupport
