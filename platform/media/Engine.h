#pragma once
// What decodes media behind the player. One engine serves the process:
// current() makes the default one on first use through the default factory
// (the FFmpeg engine in production); tests install a ScriptedEngine or an
// FFmpegEngine with options of their own. An asset keeps the engine that
// was current when it was made.
//
// current(), install() and setDefaultFactory() are safe from any thread.

#include <functional>
#include <memory>

#include "core/URL.h"
#include "media/AssetResourceLoader.h"
#include "media/EngineAsset.h"

namespace media {

class Engine {
public:
    using Factory = std::function<std::shared_ptr<Engine>()>;

    virtual ~Engine() = default;

    // The engine's side of a new asset; loader serves custom schemes.
    [[nodiscard]] virtual std::shared_ptr<EngineAsset>
    makeAsset(const core::URL& url, std::shared_ptr<AssetResourceLoader> loader) = 0;

    [[nodiscard]] static std::shared_ptr<Engine> current();
    // Replaces the current engine (nullptr: the default factory makes the
    // next one when needed); answers the engine installed before, if any.
    static std::shared_ptr<Engine> install(std::shared_ptr<Engine> engine);
    // What makes the default engine (nullptr: the FFmpeg engine).
    static void setDefaultFactory(Factory factory);
};

}  // namespace media
