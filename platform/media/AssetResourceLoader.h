#pragma once
// An asset's way to custom-scheme bytes: the engine sends its loading
// requests here and the loader hands them to the delegate on the delegate's
// queue. The delegate is held weakly; a request sent while there is none,
// or one the delegate declines, ends as declined.
//
// Safe from any thread.

#include <memory>
#include <mutex>

#include "core/Queue.h"
#include "media/AssetResourceLoaderDelegate.h"

namespace media {

class AssetResourceLoader : public std::enable_shared_from_this<AssetResourceLoader> {
public:
    [[nodiscard]] static std::shared_ptr<AssetResourceLoader> create();

    // queue nullptr: the main queue.
    void setDelegate(std::weak_ptr<AssetResourceLoaderDelegate> delegate,
                     std::shared_ptr<core::Queue> queue);
    [[nodiscard]] std::shared_ptr<AssetResourceLoaderDelegate> delegate() const;
    [[nodiscard]] std::shared_ptr<core::Queue> delegateQueue() const;

    // The engine's side.
    void send(const std::shared_ptr<AssetResourceLoadingRequest>& request);
    // Ends a pending request as cancelled and tells the delegate on its
    // queue; a request that had ended already is left alone.
    void cancel(const std::shared_ptr<AssetResourceLoadingRequest>& request);

private:
    struct Private {};

public:
    explicit AssetResourceLoader(Private) {}

private:
    mutable std::mutex mutex_;
    std::weak_ptr<AssetResourceLoaderDelegate> delegate_;
    std::shared_ptr<core::Queue> queue_;
};

}  // namespace media
