// A process of its own for the store tests of what the desktop window hands
// to the desktop: GLib reads the XDG folders once per process, so each test
// runs this with the environment it means.
//   desktop_handoff_probe open URL   the URL opened as from the window, its
//                                    scheme listed by the device profile;
//                                    prints "can 0|1" and "opened 0|1"
//   desktop_handoff_probe pictures   prints the album's desktop folder

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "core/Console.h"
#include "core/URL.h"
#include "store/PhotoAlbum.h"
#include "store/URLOpener.h"
#include "ui/DeviceProfile.h"

int main(int argc, char** argv) {
    // The console's lines are not the answer: they go to stderr.
    (void)core::Console::setSink([](std::string_view line) {
        std::fprintf(stderr, "%.*s\n", int(line.size()), line.data());
    });
    if (argc == 2 && std::strcmp(argv[1], "pictures") == 0) {
        std::printf("%s\n", store::PhotoAlbum::desktopPicturesFolder().c_str());
        return 0;
    }
    if (argc != 3 || std::strcmp(argv[1], "open") != 0) {
        std::fprintf(stderr, "usage: desktop_handoff_probe open URL | pictures\n");
        return 2;
    }
    const auto url = core::URL::create(argv[2]);
    if (!url) {
        std::fprintf(stderr, "not a URL: %s\n", argv[2]);
        return 2;
    }
    ui::DeviceProfile profile = ui::DeviceProfile::current();
    profile.openableSchemes = {"http", "https", url->scheme()};
    ui::DeviceProfile::overrideForTesting(profile);
    store::URLOpener& opener = store::URLOpener::shared();
    opener.setLaunchesSystemOpener(true);
    std::printf("can %d\n", opener.canOpenURL(*url) ? 1 : 0);
    std::printf("opened %d\n", opener.open(*url) ? 1 : 0);
    return 0;
}
