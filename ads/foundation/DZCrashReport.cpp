#include "ads/foundation/DZCrashReport.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <memory>
#include <typeinfo>
#include <utility>

#include "ads/core/request/DZRequest.h"
#include "ads/foundation/DZDevice.h"
#include "ads/foundation/DZDeviceHost.h"
#include "ads/foundation/DZQueryParameters.h"
#include "ads/foundation/DZURLLists.h"
#include "core/Bundle.h"
#include "core/FileManager.h"
#include "core/Unicode.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

constexpr int kMaxFrames = 128;

std::string demangled(const char* name) {
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> text(
        abi::__cxa_demangle(name, nullptr, nullptr, &status), &std::free);
    return status == 0 && text ? std::string(text.get()) : std::string(name);
}

std::string fileName(std::string_view path) {
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Anchors the lookup of the image that holds the SDK.
void ownImageAnchor() {}

std::string ownImageName() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ownImageAnchor), &info) != 0 && info.dli_fname) {
        return fileName(info.dli_fname);
    }
    return program_invocation_short_name;
}

bool isThrowFrame(std::string_view symbol) {
    return symbol.find("__cxa_throw") != std::string_view::npos ||
           symbol.find("__cxa_rethrow") != std::string_view::npos ||
           symbol.starts_with("std::rethrow_exception");
}

// The frames from the throwing function outwards: the capture, the
// terminate handlers and the runtime's throw machinery (an interposed throw
// included) are dropped. Without a throw frame, everything above
// std::terminate goes; without that either, only the reporter's own frames.
std::vector<DZCrashFrame> framesFromThrow(std::vector<DZCrashFrame> frames) {
    auto cut = std::find_if(frames.begin(), frames.end(),
                            [](const auto& frame) { return isThrowFrame(frame.symbol); });
    if (cut != frames.end()) {
        while (cut != frames.end() && isThrowFrame(cut->symbol)) ++cut;
        return {cut, frames.end()};
    }
    cut = std::find_if(frames.begin(), frames.end(), [](const auto& frame) {
        return frame.symbol.starts_with("std::terminate");
    });
    if (cut != frames.end()) return {cut + 1, frames.end()};
    cut = frames.begin();
    while (cut != frames.end() && cut->symbol.find("DZCrashReport") != std::string::npos) ++cut;
    return {cut, frames.end()};
}

std::string orError(std::string text) {
    return text.empty() ? std::string("error") : text;
}

}  // namespace

DZCrashReport::DZCrashReport(std::optional<std::string> name, std::optional<std::string> reason,
                             std::vector<DZCrashFrame> stack)
    : name_(std::move(name)), reason_(std::move(reason)), stack_(std::move(stack)) {}

std::optional<DZCrashReport> DZCrashReport::captureCurrentException() {
    const std::exception_ptr current = std::current_exception();
    if (!current) return std::nullopt;
    std::vector<void*> addresses(kMaxFrames);
    const int count = backtrace(addresses.data(), kMaxFrames);
    addresses.resize(count > 0 ? static_cast<size_t>(count) : 0);
    std::vector<DZCrashFrame> stack = framesFromThrow(symbolicate(addresses));

    std::optional<std::string> name;
    if (const std::type_info* type = abi::__cxa_current_exception_type()) {
        name = demangled(type->name());
    }
    std::optional<std::string> reason;
    try {
        std::rethrow_exception(current);
    } catch (const std::exception& exception) {
        reason = exception.what();
    } catch (...) {
    }
    return DZCrashReport(std::move(name), std::move(reason), std::move(stack));
}

bool DZCrashReport::namesSDK(std::string_view text) {
    return text.find("DZ") != std::string_view::npos || text.find("ZOD") != std::string_view::npos;
}

bool DZCrashReport::symbolNamesSDK(std::string_view symbol) {
    return namesSDK(symbol) || symbol.starts_with("ads::");
}

bool DZCrashReport::implicatesSDK() const {
    return (reason_ && namesSDK(*reason_)) || crashLocation().has_value();
}

std::optional<std::string> DZCrashReport::maskedReason() const {
    if (!reason_ || !namesSDK(*reason_)) return "redacted";
    const auto addresses = DZRegularExpressionWithPattern("0[xX][a-fA-F0-9]+");
    if (!addresses) return std::nullopt;
    return addresses->replaceAll(*reason_, "#");
}

std::optional<std::string> DZCrashReport::crashLocation() const {
    for (const auto& frame : stack_) {
        if (symbolNamesSDK(frame.symbol)) return frame.symbol;
    }
    return std::nullopt;
}

std::string DZCrashReport::frameLine(const DZCrashFrame& frame) {
    std::string line = frame.image;
    line.append(",").append(frame.symbol);
    return line;
}

std::optional<std::string> DZCrashReport::stackText() const {
    std::string text;
    size_t length = 0;
    for (const auto& frame : stack_) {
        const std::string line = frameLine(frame);
        const size_t added = core::Unicode::utf16Length(line) + (text.empty() ? 0 : 1);
        if (length + added >= kStackTextLimit) break;
        if (!text.empty()) text.push_back('\n');
        text.append(line);
        length += added;
    }
    if (text.empty()) return std::nullopt;
    return text;
}

std::optional<core::URL> DZCrashReport::URLWithEndpoint(std::string_view endpointText) const {
    if (!implicatesSDK()) return std::nullopt;
    const auto endpoint = core::URL::create(endpointText);
    if (!endpoint || !endpoint->isHTTPorHTTPS()) return std::nullopt;
    const auto device = DZDevice::sharedInstance();
    const auto host = DZDeviceHost::platform();

    core::Dictionary parameters;
    parameters.set("os", orError(device->systemVersion()));
    parameters.set("appid", orError(host->mainBundleIdentifier()));
    parameters.set("api", orError(host->version().value_or("")));
    parameters.set("js", orError(DZRequest::sdkVersion()));
    parameters.set("device", orError(device->deviceModel().value_or("")));
    parameters.set("dev-build", isDevelopmentBuild() ? 1 : 0);
    parameters.set("excn", name_.value_or("unknown"));
    parameters.set("excr", maskedReason().value_or("unknown"));
    parameters.set("exclc", crashLocation().value_or("."));
    parameters.set("excst", stackText().value_or("error"));
    parameters.set("id", std::string(kReportID));
    auto url = DZURLByAddingQueryParameters(endpoint, parameters);

    const core::Value eids = core::UserDefaults::standard()->objectForKey(kExperimentIDStringKey);
    if (url && eids.isString()) {
        url = DZURLByAddingQueryParameters(url, core::Dictionary{{"eids", *eids.string()}});
    }
    return url;
}

std::vector<DZCrashFrame> DZCrashReport::symbolicate(const std::vector<void*>& returnAddresses) {
    const std::string ownImage = ownImageName();
    std::vector<DZCrashFrame> frames;
    frames.reserve(returnAddresses.size());
    for (void* address : returnAddresses) {
        Dl_info info{};
        // A return address may lie just past its function (after a call that
        // does not return); the byte before it is inside the call.
        if (!address || dladdr(static_cast<char*>(address) - 1, &info) == 0) {
            frames.push_back({"missing", "unavailable"});
            continue;
        }
        std::string image = info.dli_fname ? fileName(info.dli_fname) : std::string();
        if (image == ownImage) image = "app";
        frames.push_back({std::move(image), info.dli_sname ? demangled(info.dli_sname) : ""});
    }
    return frames;
}

bool DZCrashReport::developmentBuildFlag(std::optional<std::string_view> profile) {
    if (!profile || profile->empty()) return false;
    constexpr std::string_view kKey = "get-task-allow";
    const size_t key = profile->find(kKey);
    if (key == std::string_view::npos) return false;
    const size_t first = profile->find('<', key + kKey.size());
    if (first == std::string_view::npos) return false;
    const size_t second = profile->find('<', first + 1);
    if (second == std::string_view::npos) return false;
    const size_t third = profile->find('<', second + 1);
    if (third == std::string_view::npos) return false;
    const std::string_view value = profile->substr(second, third - second);
    return core::Unicode::isValidUTF8(value) && value.find("true") != std::string_view::npos;
}

bool DZCrashReport::isDevelopmentBuild() {
    const auto path = core::Bundle::main()->pathForResource("embedded", "mobileprovision");
    if (!path) return false;
    const auto contents = core::FileManager::readFile(*path);
    if (!contents) return false;
    return developmentBuildFlag(contents.value());
}

}  // namespace ads
