// The vantor tool's command line: what it parses, the one-line reasons it
// refuses with, and the checks that run before the app launches.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ConsoleFile.h"
#include "VantorOptions.h"
#include "ads/foundation/DZCrashReporter.h"
#include "ads/foundation/DZServerHosts.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/FileManager.h"
#include "core/URL.h"
#include "store/ActivityViewController.h"
#include "store/MailComposeViewController.h"
#include "store/PhotoAlbum.h"
#include "store/URLOpener.h"
#include "support/TestEnvironment.h"
#include "core/ScopedEnvironment.h"

using tools::Options;
using tools::Step;

namespace {

std::string parseError(const std::vector<std::string>& arguments) {
    std::string error;
    const auto options = tools::parseOptions(arguments, &error);
    EXPECT_FALSE(options) << "accepted: " << arguments.front();
    return error;
}

Options parsed(const std::vector<std::string>& arguments) {
    std::string error;
    const auto options = tools::parseOptions(arguments, &error);
    EXPECT_TRUE(options) << error;
    return options.value_or(Options{});
}

std::string sourceResources() {
    const char* source = std::getenv("VANTOR_SOURCE_DIR");
    return source ? std::string(source) + "/resources" : core::Bundle::mainResourcesPath();
}

// A fresh folder of this test's own under the test home.
std::string scratch(const std::string& name) {
    const std::string path = testsupport::testHome() + "/tools-" + name;
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

void writeFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
}

TEST(VantorOptionsTest, ReadsEveryOptionAndKeepsTheDefaults) {
    const Options plain = parsed({});
    EXPECT_EQ(plain.out, "out/shots");
    EXPECT_TRUE(plain.tour);
    EXPECT_FALSE(plain.window || plain.verbose || plain.help);
    EXPECT_TRUE(plain.device.empty() && plain.language.empty() && plain.home.empty());

    const Options all = parsed({"--device", "pad", "--language", "zh_CN", "--out", "/tmp/x",
                                "--home", "-home", "--tap", "187,600", "--drag",
                                "300.5,300:50,-0", "--tap", "1e1,2", "--no-tour", "--verbose"});
    EXPECT_EQ(all.device, "pad");
    EXPECT_EQ(all.language, "zh_CN");
    EXPECT_EQ(all.out, "/tmp/x");
    EXPECT_EQ(all.home, "-home") << "one dash may begin a value";
    EXPECT_FALSE(all.tour);
    EXPECT_TRUE(all.verbose);
    ASSERT_EQ(all.steps.size(), 3u);
    EXPECT_EQ(all.steps[0].kind, Step::Kind::Tap);
    EXPECT_EQ(all.steps[0].from, (gfx::Point{187, 600}));
    EXPECT_EQ(all.steps[1].kind, Step::Kind::Drag);
    EXPECT_EQ(all.steps[1].from, (gfx::Point{300.5, 300}));
    EXPECT_EQ(all.steps[1].to, (gfx::Point{50, 0}));
    EXPECT_EQ(all.steps[1].text, "300.5,300:50,-0");
    EXPECT_EQ(all.steps[2].from, (gfx::Point{10, 2}));

    EXPECT_TRUE(parsed({"--window", "--device", "phone-x", "--home", "h"}).window);
    EXPECT_FALSE(plain.adDemo);
    const Options demo = parsed({"--ad-demo", "--out", "o", "--device", "pad"});
    EXPECT_TRUE(demo.adDemo);
    EXPECT_EQ(demo.out, "o");
    // Help answers whatever follows it.
    EXPECT_TRUE(parsed({"--device", "pad", "-h", "--bogus"}).help);
    EXPECT_TRUE(parsed({"--help"}).help);
}

TEST(VantorOptionsTest, ABadCommandLineGetsOneLineNamingTheCulprit) {
    EXPECT_EQ(parseError({"--bogus"}), "unknown option --bogus");
    EXPECT_EQ(parseError({"shots"}), "unexpected argument 'shots'");
    EXPECT_EQ(parseError({"--out"}), "--out needs a value");
    EXPECT_EQ(parseError({"--device", "--out", "x"}), "--device needs a value");
    EXPECT_EQ(parseError({"--language", ""}), "--language needs a value");
    EXPECT_EQ(parseError({"--window", "--out", "x"}),
              "--out, --tap, --drag and --no-tour are not for --window");
    EXPECT_EQ(parseError({"--no-tour", "--window"}),
              "--out, --tap, --drag and --no-tour are not for --window");
    EXPECT_EQ(parseError({"--ad-demo", "--window"}), "--ad-demo is not for --window");
    for (const char* pagesOnly : {"--no-tour", "--tap"}) {
        std::vector<std::string> arguments{"--ad-demo", pagesOnly};
        if (std::string(pagesOnly) == "--tap") arguments.push_back("1,1");
        EXPECT_EQ(parseError(arguments), "--tap, --drag and --no-tour are not for --ad-demo");
    }
    for (const std::string bad : {"nan,5", "5,inf", "-inf,1", "1e999,1", "1", "1,2,3", "a,b",
                                   "1,2x", " "}) {
        const std::string error = parseError({"--tap", bad});
        EXPECT_EQ(error, "--tap wants X,Y in points (finite numbers), not '" + bad + "'");
    }
    for (const std::string bad : {"1,2", "1,2:3", "1,2:nan,4", "x:1,2"}) {
        const std::string error = parseError({"--drag", bad});
        EXPECT_EQ(error, "--drag wants X1,Y1:X2,Y2 in points (finite numbers), not '" + bad + "'");
    }
    for (const auto& error : {parseError({"--bogus"}), parseError({"--tap", "nan,1"})})
        EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST(VantorOptionsTest, TouchesMustLandOnTheScreen) {
    const gfx::Size phone{375, 667};
    EXPECT_EQ(tools::checkSteps(parsed({"--tap", "0,0", "--tap", "374.9,666.9", "--drag",
                                        "300,300:50,300"})
                                    .steps,
                                phone, "phone"),
              std::nullopt);
    EXPECT_EQ(tools::checkSteps(parsed({"--tap", "375,10"}).steps, phone, "phone"),
              "--tap 375,10 is off the phone's screen of 375x667 points");
    EXPECT_EQ(tools::checkSteps(parsed({"--tap", "10,10", "--tap", "-1,10"}).steps, phone, "phone"),
              "--tap -1,10 is off the phone's screen of 375x667 points");
    EXPECT_EQ(tools::checkSteps(parsed({"--drag", "10,10:10,700"}).steps, {768, 1024}, "pad"),
              std::nullopt);
    EXPECT_EQ(tools::checkSteps(parsed({"--drag", "10,10:10,1024"}).steps, {768, 1024}, "pad"),
              "--drag 10,10:10,1024 is off the pad's screen of 768x1024 points");
}

TEST(VantorOptionsTest, ResourcesMustHoldTheAppsInfoAndEnglishStrings) {
    EXPECT_EQ(tools::checkResources(sourceResources()), std::nullopt);
    const std::string missing = scratch("resources") + "/absent";
    EXPECT_EQ(tools::checkResources(missing), "no resources folder at '" + missing + "'");
    EXPECT_EQ(tools::checkResources(""), "no resources folder at ''");

    const std::string folder = scratch("resources-empty");
    EXPECT_EQ(tools::checkResources(folder),
              "'" + folder + "' holds no app resources (no Info.json)");
    writeFile(folder + "/Info.json", "{}");
    EXPECT_EQ(tools::checkResources(folder),
              "'" + folder + "' holds no app resources (no en.lproj/Localizable.strings)");
    writeFile(folder + "/en.lproj/Localizable.strings", "\"explore\" = \"Explore\";");
    EXPECT_EQ(tools::checkResources(folder), std::nullopt);
    writeFile(folder + "/file", "");
    EXPECT_TRUE(tools::checkResources(folder + "/file"));
}

TEST(VantorOptionsTest, LanguagesAreTheOnesTheAppHasStringsFor) {
    const auto resources = core::Bundle::create(sourceResources());
    ASSERT_TRUE(resources);
    for (const char* known : {"en", "en-GB", "en_US.UTF-8", "EN", "zh-Hans", "zh-Hans-CN", "zh",
                              "zh-CN", "zh_CN.UTF-8", "zh_SG", "zh-Hans-TW"}) {
        EXPECT_EQ(tools::checkLanguage(known, *resources), std::nullopt) << known;
    }
    EXPECT_EQ(tools::checkLanguage("fr", *resources),
              "the app has no strings in 'fr'; --language takes one of: en, zh-Hans (with a "
              "region, or zh, zh-CN, zh-SG)");
    const auto traditional = tools::checkLanguage("zh_TW", *resources);
    ASSERT_TRUE(traditional);
    EXPECT_EQ(traditional->rfind("the app has no strings in 'zh_TW' (zh-Hant-TW);", 0), 0u)
        << *traditional;
    // A tag is never taken as a path out of the bundle; what a locale name
    // leaves after its encoding is cut ("en.lproj/..." is "en") is checked.
    EXPECT_TRUE(tools::checkLanguage("en/../zh-Hans", *resources));
    EXPECT_TRUE(tools::checkLanguage("zz/../en", *resources));
    EXPECT_EQ(tools::checkLanguage("en.lproj/../zh-Hans", *resources), std::nullopt);
}

TEST(VantorOptionsTest, DevicesAreTheProfilesOfTheResources) {
    EXPECT_EQ(tools::checkDevice("phone-x", sourceResources()), std::nullopt);
    EXPECT_EQ(tools::checkDevice("tablet", sourceResources()),
              "no device profile named 'tablet'; there are: pad, phone, phone-x");
    EXPECT_TRUE(tools::checkDevice("../devices/phone", sourceResources()));
}

TEST(VantorOptionsTest, TheHomeIsMadeWhenMissingAndMustBeAWritableFolder) {
    const std::string base = scratch("home");
    const std::string nested = base + "/a/b";
    EXPECT_EQ(tools::prepareHome(nested), std::nullopt);
    EXPECT_TRUE(core::FileManager::isDirectory(nested));
    EXPECT_TRUE(std::filesystem::is_empty(nested)) << "the write check leaves nothing behind";
    EXPECT_EQ(tools::prepareHome(nested), std::nullopt) << "an existing folder";

    writeFile(base + "/file", "x");
    EXPECT_EQ(tools::prepareHome(base + "/file"), "--home '" + base + "/file' is not a folder");
    const auto under = tools::prepareHome(base + "/file/home");
    ASSERT_TRUE(under);
    EXPECT_EQ(under->rfind("--home '" + base + "/file/home' cannot be made: ", 0), 0u) << *under;
    // No one may make files in /proc, root included.
    const auto proc = tools::prepareHome("/proc");
    ASSERT_TRUE(proc);
    EXPECT_EQ(proc->rfind("--home '/proc' is not writable: no file can be made in it (", 0), 0u)
        << *proc;
}

TEST(VantorOptionsTest, OnlyTheDesktopWindowHandsWebLinksToTheBrowser) {
    store::URLOpener& opener = store::URLOpener::shared();
    std::vector<std::string> launched;
    opener.setLauncherForTesting([&](const std::string& url) { launched.push_back(url); });
    testsupport::ScopedEnvironment environment;
    environment.set("VANTOR_NO_OPENER", std::nullopt);
    const auto link = core::URL::create("https://photos.example/licence");
    ASSERT_TRUE(link);

    const std::string homeAlbum = store::PhotoAlbum::folderPath();

    tools::applyDesktopHandoffs(parsed({"--window"}));
    EXPECT_TRUE(opener.open(*link));
    EXPECT_EQ(launched, std::vector<std::string>{"https://photos.example/licence"});
    EXPECT_EQ(store::PhotoAlbum::folderPath(), store::PhotoAlbum::desktopPicturesFolder());
    EXPECT_TRUE(store::MailComposeViewController::handsToDesktopMailClient());
    EXPECT_TRUE(store::ActivityViewController::performsOnDesktop());

    tools::applyDesktopHandoffs(parsed({"--no-tour"}));
    EXPECT_TRUE(opener.open(*link)) << "still answered as opened";
    EXPECT_EQ(launched.size(), 1u) << "the headless run only records it";
    EXPECT_EQ(opener.openedURLs().size(), 2u);
    EXPECT_EQ(store::PhotoAlbum::folderPath(), homeAlbum) << "the album stays in the home";
    EXPECT_FALSE(store::MailComposeViewController::handsToDesktopMailClient());
    EXPECT_FALSE(store::ActivityViewController::performsOnDesktop());

    opener.setLauncherForTesting(nullptr);
    opener.clearForTesting();
}

TEST(VantorOptionsTest,
     TheEmbeddedDefaultSendsEverySDKRequestCrashReportsIncludedToTheLocalAdServer) {
    using ads::DZServerHosts;
    tools::pointSDKHostsAt("127.0.0.1:44301");
    EXPECT_EQ(DZServerHosts::adServerHost(), "127.0.0.1:44301");
    EXPECT_EQ(DZServerHosts::staticHost(), "127.0.0.1:44301");
    EXPECT_EQ(DZServerHosts::mediationHost(), "127.0.0.1:44301");
    EXPECT_EQ(DZServerHosts::reportingHost(), "127.0.0.1:44301");
    EXPECT_EQ(ads::DZCrashReporter::endpoint(), "https://127.0.0.1:44301/crash");
    for (const auto reset : {&DZServerHosts::setAdServerHost, &DZServerHosts::setStaticHost,
                             &DZServerHosts::setMediationHost, &DZServerHosts::setReportingHost})
        reset(std::nullopt);
    EXPECT_EQ(DZServerHosts::reportingHost(), DZServerHosts::kDefaultReportingHost);
}

TEST(VantorOptionsTest, TheWindowsHomeIsInTheDesktopsDataFolder) {
    testsupport::ScopedEnvironment environment;
    environment.set("HOME", "/home/someone");
    environment.set("XDG_DATA_HOME", "/data/of/someone");
    EXPECT_EQ(tools::desktopHome(), "/data/of/someone/vantor");
    environment.set("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(tools::desktopHome(), "/home/someone/.local/share/vantor")
        << "a relative value is not a data folder";
    environment.set("XDG_DATA_HOME", "");
    EXPECT_EQ(tools::desktopHome(), "/home/someone/.local/share/vantor");
    environment.set("XDG_DATA_HOME", std::nullopt);
    EXPECT_EQ(tools::desktopHome(), "/home/someone/.local/share/vantor");

    // Made with its parents, the owner's alone, as the temporary home was.
    const std::string data = scratch("desktop-data");
    environment.set("XDG_DATA_HOME", data + "/new");
    ASSERT_EQ(tools::prepareHome(tools::desktopHome(), "the window's home"), std::nullopt);
    struct stat info {};
    ASSERT_EQ(::stat((data + "/new/vantor").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    writeFile(data + "/file", "x");
    EXPECT_EQ(tools::prepareHome(data + "/file", "the window's home"),
              "the window's home '" + data + "/file' is not a folder");
}

TEST(ConsoleFileTest, EveryLineLandsWholeInTheFile) {
    const std::string path = scratch("console") + "/console.log";
    writeFile(path, "earlier\n");
    const auto previous = core::Console::setSink({});
    ASSERT_EQ(tools::sendConsoleToFile(path), std::nullopt);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 100; ++i)
                core::Console::log("thread " + std::to_string(t) + " line " + std::to_string(i) +
                                   std::string(200, 'x'));
        });
    }
    for (auto& thread : threads) thread.join();
    core::Console::setSink(previous);

    std::ifstream file(path);
    std::string line;
    ASSERT_TRUE(std::getline(file, line));
    EXPECT_EQ(line, "earlier") << "appended, not replaced";
    int lines = 0;
    while (std::getline(file, line)) {
        ++lines;
        EXPECT_EQ(line.rfind("thread ", 0), 0u);
        EXPECT_EQ(line.size() - line.find('x'), 200u) << line;
    }
    EXPECT_EQ(lines, 400);

    EXPECT_TRUE(tools::sendConsoleToFile(scratch("console-missing") + "/no/such/console.log"));
}

}  // namespace
