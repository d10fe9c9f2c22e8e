#include "web/EngineStart.h"

#include <webkit2/webkit2.h>

namespace web {

void startEngineOnMainThread() {
    static const bool started = [] {
        // Making an in-memory data store runs the engine's initialization,
        // which needs no display.
        g_object_unref(webkit_website_data_manager_new_ephemeral());
        return true;
    }();
    (void)started;
}

}  // namespace web
