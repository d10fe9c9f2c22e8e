#pragma once
// What the crash reporter knows of an exception that nothing caught, and the
// one-line report made of it: a GET of the crash endpoint with the device
// and app facts, the exception's name, its reason (sent only when it names
// the SDK, with addresses masked as "#"), the first stack frame that names
// the SDK and the stack text, cut to whole frames below 600 characters.
//
// The SDK is implicated when the reason contains "DZ" or "ZOD", or a frame's
// symbol does, or a frame's symbol is a function of namespace ads (its
// demangled name starts with "ads::"). A report that does not implicate the
// SDK makes no URL.
//
// Frames are "image,symbol": the file name of the code image holding the
// return address ("app" for the image that holds the SDK itself) and the
// demangled symbol name.
//
// Threading: a value type; the static functions are safe from any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/URL.h"

namespace ads {

struct DZCrashFrame {
    std::string image;
    std::string symbol;
    friend bool operator==(const DZCrashFrame&, const DZCrashFrame&) = default;
};

class DZCrashReport {
public:
    static constexpr std::string_view kReportID = "dzmob-apps-report-exception";
    static constexpr std::string_view kExperimentIDStringKey = "/dozuza/ads/experiment_id_string";
    // Stack texts stay below this many characters (UTF-16 units).
    static constexpr size_t kStackTextLimit = 600;

    // name: the exception's type; reason: its message; stack: innermost first.
    DZCrashReport(std::optional<std::string> name, std::optional<std::string> reason,
                  std::vector<DZCrashFrame> stack);

    // The exception being handled (from a terminate handler or a catch
    // block) with the stack of the calling thread from the throw outwards;
    // nullopt when no exception is being handled.
    [[nodiscard]] static std::optional<DZCrashReport> captureCurrentException();

    [[nodiscard]] const std::optional<std::string>& name() const { return name_; }
    [[nodiscard]] const std::optional<std::string>& reason() const { return reason_; }
    [[nodiscard]] const std::vector<DZCrashFrame>& stack() const { return stack_; }

    [[nodiscard]] bool implicatesSDK() const;
    // The reason with every "0x..." address replaced by "#" when it names the
    // SDK, else "redacted".
    [[nodiscard]] std::optional<std::string> maskedReason() const;
    // The symbol of the first frame that names the SDK.
    [[nodiscard]] std::optional<std::string> crashLocation() const;
    // Frame lines joined by "\n" while the text stays below the limit;
    // nullopt when not even the first frame fits.
    [[nodiscard]] std::optional<std::string> stackText() const;

    // The report URL on the endpoint; nullopt when the SDK is not implicated
    // or no URL results.
    [[nodiscard]] std::optional<core::URL> URLWithEndpoint(std::string_view endpoint) const;

    // "DZ" or "ZOD" anywhere, case-sensitive.
    [[nodiscard]] static bool namesSDK(std::string_view text);
    [[nodiscard]] static bool symbolNamesSDK(std::string_view symbol);
    // Image and symbol of each return address; "missing" and "unavailable"
    // where the dynamic loader knows nothing of it.
    [[nodiscard]] static std::vector<DZCrashFrame>
    symbolicate(const std::vector<void*>& returnAddresses);
    // Whether a provisioning profile's text allows debugging ("get-task-allow"
    // followed by a true value); false without a profile.
    [[nodiscard]] static bool developmentBuildFlag(std::optional<std::string_view> profile);
    // The flag of the app bundle's "embedded.mobileprovision", read anew.
    [[nodiscard]] static bool isDevelopmentBuild();

private:
    [[nodiscard]] static std::string frameLine(const DZCrashFrame& frame);

    std::optional<std::string> name_;
    std::optional<std::string> reason_;
    std::vector<DZCrashFrame> stack_;
};

}  // namespace ads
