#include "SharedStateReset.h"

#include "core/UserDefaults.h"

namespace testsupport {

void SharedStateReset::OnTestStart(const testing::TestInfo&) {
    defaults_ = core::UserDefaults::standard()->dictionaryRepresentation();
}

void SharedStateReset::OnTestEnd(const testing::TestInfo&) {
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
