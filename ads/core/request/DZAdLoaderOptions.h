#pragma once
// An option a publisher gives an ad loader: a small value object that may
// add request parameters to the loader's ad requests. The loader keeps a
// copy of each, one per class. A value once handed over; any thread.

#include <memory>
#include <optional>
#include <string>

#include "core/Value.h"

namespace ads {

class DZAdLoaderOptions {
public:
    static constexpr const char* kClassName = "DZAdLoaderOptions";

    virtual ~DZAdLoaderOptions() = default;

    [[nodiscard]] virtual std::string className() const { return kClassName; }
    // The parameters the option adds to a request; nullopt for none.
    [[nodiscard]] virtual std::optional<core::Dictionary> requestParameters() const {
        return std::nullopt;
    }
    // A new object of the same class with the same fields: delegates stay
    // weak references, shared objects (a correlator) the same objects.
    [[nodiscard]] virtual std::shared_ptr<DZAdLoaderOptions> copy() const {
        return std::make_shared<DZAdLoaderOptions>(*this);
    }
};

}  // namespace ads
