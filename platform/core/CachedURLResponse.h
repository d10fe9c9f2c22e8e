#pragma once
// A response and its body as a cache would keep them, with how the response
// allows itself to be stored. A value type with no shared state.

#include <utility>

#include "core/HTTPURLResponse.h"
#include "core/Value.h"

namespace core {

class CachedURLResponse {
public:
    enum class StoragePolicy { allowed, allowedInMemoryOnly, notAllowed };

    CachedURLResponse(HTTPURLResponse response, Data data,
                      StoragePolicy storagePolicy = StoragePolicy::allowed)
        : response_(std::move(response)), data_(std::move(data)), storagePolicy_(storagePolicy) {}

    [[nodiscard]] const HTTPURLResponse& response() const { return response_; }
    [[nodiscard]] const Data& data() const { return data_; }
    [[nodiscard]] StoragePolicy storagePolicy() const { return storagePolicy_; }

    friend bool operator==(const CachedURLResponse&, const CachedURLResponse&) = default;

private:
    HTTPURLResponse response_;
    Data data_;
    StoragePolicy storagePolicy_;
};

}  // namespace core
