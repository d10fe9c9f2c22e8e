#pragma once
// Loads the bytes of a custom-scheme asset for the engine. Called on the
// queue given with the delegate.

#include <memory>

#include "media/AssetResourceLoadingRequest.h"

namespace media {

class AssetResourceLoader;

class AssetResourceLoaderDelegate {
public:
    virtual ~AssetResourceLoaderDelegate() = default;

    // True when the delegate takes the request and will end it later (or
    // has already); false declines it, and the engine gives up on it.
    virtual bool shouldWaitForLoadingOfRequestedResource(
        AssetResourceLoader& loader,
        const std::shared_ptr<AssetResourceLoadingRequest>& request) = 0;
    // The engine no longer wants a request the delegate took.
    virtual void
    didCancelLoadingRequest(AssetResourceLoader& /*loader*/,
                            const std::shared_ptr<AssetResourceLoadingRequest>& /*request*/) {}
};

}  // namespace media
