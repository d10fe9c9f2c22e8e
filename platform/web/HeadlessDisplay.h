#pragma once
// The display the process's web views draw on: the one DISPLAY (or
// WAYLAND_DISPLAY) names, else an Xvfb of the process's own, started with
// -displayfd on a display number the server picks and stopped when the
// process exits (the server also gets SIGTERM should the process die).
// Tests, the PNG tool and CI thus run web views with no display set.
//
// Only clients holding the server's random cookie may connect (what web
// views draw and the input they get stay the process's own): the cookie is
// in an authority file in a folder that is the user's alone, which
// XAUTHORITY names for the process and its children. The folder goes at
// exit; one that a crashed process left goes at the next start.
//
// Main thread only.

#include <string>

namespace web {

class HeadlessDisplay {
public:
    // Makes sure there is a display; false with a message when none is set
    // and no Xvfb starts (not installed, or it fails within 10 s).
    [[nodiscard]] static bool ensure(std::string* error);
    // ":N" of the server started here; empty when the environment named the
    // display.
    [[nodiscard]] static std::string startedDisplay();
    // The authority file of the server started here; empty when the
    // environment named the display.
    [[nodiscard]] static std::string authorityFile();
};

}  // namespace web
