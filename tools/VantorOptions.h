#pragma once
// The vantor tool's command line: what each option asks for, and the checks
// that run before the app launches. A bad option ends the run with one line
// on stderr and a non-zero exit instead of a run that quietly does something
// else (English for an unknown language, raw string keys for a missing
// resources folder, a touch that lands nowhere).

#include <optional>
#include <string>
#include <vector>

#include "gfx/Geometry.h"

namespace core {
class Bundle;
}  // namespace core

namespace tools {

struct Step {
    enum class Kind { Tap, Drag } kind = Kind::Tap;
    gfx::Point from;
    gfx::Point to;
    // As given on the command line ("187,600"), for messages.
    std::string text;
};

struct Options {
    std::string device;
    std::string language;
    std::string out = "out/shots";
    std::string home;
    bool tour = true;
    bool window = false;
    // One banner from the local ad server instead of the app's pages.
    bool adDemo = false;
    bool verbose = false;
    bool help = false;
    std::vector<Step> steps;
};

// The arguments after the program name. nullopt, with the reason in *error
// ("--device needs a value"), for a command line that cannot run.
[[nodiscard]] std::optional<Options> parseOptions(const std::vector<std::string>& arguments,
                                                  std::string* error);

// Each check answers the reason a value cannot be used, nullopt when it can.

// The resources folder the app reads (VANTOR_RESOURCES, when set, names
// it): a folder with the app's Info.json and its English strings.
[[nodiscard]] std::optional<std::string> checkResources(const std::string& path);
// A language the app has strings for, after the platform's mapping of
// locale names ("zh_CN" is "zh-Hans-CN"); English in any region counts.
[[nodiscard]] std::optional<std::string> checkLanguage(const std::string& language,
                                                       const core::Bundle& resources);
// A device profile that resources/devices holds.
[[nodiscard]] std::optional<std::string> checkDevice(const std::string& name,
                                                     const std::string& resourcesPath);
// The app's home: made when missing (the owner's alone); it must be a
// folder the app can write. The reason names the home as `what` does.
[[nodiscard]] std::optional<std::string> prepareHome(const std::string& path,
                                                     const std::string& what = "--home");
// Where the desktop window keeps the app's home when no --home names one,
// from run to run: $XDG_DATA_HOME/vantor (an absolute value only), else
// ~/.local/share/vantor.
[[nodiscard]] std::string desktopHome();
// Every touch point on the screen of the given size, in points.
[[nodiscard]] std::optional<std::string> checkSteps(const std::vector<Step>& steps,
                                                    gfx::Size screen,
                                                    const std::string& deviceName);

// Where a person sits at the desktop window, what the app hands to other
// apps goes to the desktop: http(s) URLs to its browser, other schemes to
// the handlers it registered, saved photos to its pictures folder (under
// Vantor/), mail to its mail client, and the share sheet offers what the
// desktop can do (Mail). A headless run only records the URLs, keeps the
// album in the home, has no mail client and leaves shares in the outbox.
void applyDesktopHandoffs(const Options& options);
// Every host of the ad SDK's (ad server, static, mediation, and reporting,
// where crash reports go) at the one given, "host[:port]": the embedded
// default's local ad server.
void pointSDKHostsAt(const std::string& host);

}  // namespace tools
