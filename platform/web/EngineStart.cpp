#include "web/EngineStart.h"

#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <string_view>

#include "core/Console.h"
#include "core/FileManager.h"

namespace web {

namespace {

constexpr std::string_view kRuntimePrefix = "vantor-runtime-";

struct RuntimeFolder {
    std::string path;
    pid_t owner = -1;  // the process that made it (not a forked child)
};

RuntimeFolder& runtimeFolder() {
    static RuntimeFolder folder;
    return folder;
}

void removeRuntimeFolder() {
    RuntimeFolder& folder = runtimeFolder();
    if (folder.owner != getpid() || folder.path.empty()) return;
    (void)core::FileManager::removeItem(folder.path);
    folder.path.clear();
}

// Whether the environment names a runtime folder the way FileManager takes
// one: an absolute path to a folder.
bool runtimeFolderNamed() {
    const char* named = std::getenv("XDG_RUNTIME_DIR");
    return named && named[0] == '/' && core::FileManager::isDirectory(named);
}

void makeRuntimeFolder() {
    if (runtimeFolderNamed()) return;
    // The temporary folder while none is named; the folders of ended
    // processes of the same prefix go first.
    auto made = core::FileManager::createProcessFolder(core::FileManager::runtimeDirectory(),
                                                       kRuntimePrefix);
    if (!made) {
        core::Console::log("web views: no runtime folder of their own: " + made.error());
        return;
    }
    RuntimeFolder& folder = runtimeFolder();
    folder.path = std::move(made).value();
    folder.owner = getpid();
    setenv("XDG_RUNTIME_DIR", folder.path.c_str(), 1);
    std::atexit(removeRuntimeFolder);
    // GLib reads the variable once, on first use.
    if (folder.path != g_get_user_runtime_dir())
        core::Console::log(std::string("web views: the runtime folder was read before the "
                                       "engine started; the engine keeps using ") +
                           g_get_user_runtime_dir());
}

}  // namespace

void startEngineOnMainThread() {
    static const bool started = [] {
        makeRuntimeFolder();
        // Making an in-memory data store runs the engine's initialization,
        // which needs no display.
        g_object_unref(webkit_website_data_manager_new_ephemeral());
        return true;
    }();
    (void)started;
}

std::string engineRuntimeFolder() {
    return runtimeFolder().path;
}

}  // namespace web
