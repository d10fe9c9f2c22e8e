#pragma once
// The owner of a DZStatisticDictionary: told, on a queue of its own choosing,
// that the dictionary changed. The SDK's application object implements it
// for the statistics of every ad; tests use doubles.

#include <memory>

#include "core/Queue.h"

namespace ads {

class DZStatisticDictionary;

class DZStatisticDictionaryDelegate {
public:
    virtual ~DZStatisticDictionaryDelegate() = default;

    // The queue on which the delegate wants to be told; a delegate without
    // one (nullptr) is never told.
    [[nodiscard]] virtual std::shared_ptr<core::Queue> notificationQueue() = 0;
    // Called on notificationQueue() once for a burst of changes; read the
    // current content with dictionary->dictionary().
    virtual void didUpdateStatisticDictionary(
        const std::shared_ptr<DZStatisticDictionary>& dictionary) = 0;
};

}  // namespace ads
