#pragma once
// One "dmsg" message from a page to native code: a name and text parameters.
// A page sends one by navigating to "dmsg://<any host>/<name>?<k>=<v>&..."
// (pieces joined by "&" or ";", percent-encoded UTF-8); the scheme's case
// does not matter, the name's does. Native code never loads such a URL; it
// builds a DZNotification from it and routes that to its handlers.
//
// Immutable once made; may be made and read on any thread.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZNotification {
public:
    static constexpr std::string_view kScheme = "dmsg";

    // True when the URL's scheme is "dmsg" in any letter case.
    [[nodiscard]] static bool isNotificationURL(const std::optional<core::URL>& url);
    // The same without a copy (a page's message can be megabytes long).
    [[nodiscard]] static bool isNotificationURL(const core::URL& url);
    // nullptr for a URL that is not a dmsg URL or names no message: an
    // empty path ("dmsg://adResized" carries its name in the host), a path
    // without its leading "/" ("dmsg:adResized"), or a name that is not
    // plain (below).
    [[nodiscard]] static std::shared_ptr<const DZNotification>
    create(const std::optional<core::URL>& url);
    // nullptr for an empty name. Every value of parameters should be text.
    [[nodiscard]] static std::shared_ptr<const DZNotification>
    create(std::string name, core::Dictionary parameters = {});

    // A name a URL may carry: not empty, no "/" and no control character
    // (once decoded).
    [[nodiscard]] static bool isPlainName(std::string_view name);

    [[nodiscard]] const std::string& name() const { return name_; }
    [[nodiscard]] const core::Dictionary& parameters() const { return parameters_; }
    // "<DZNotification: 0x...> name:<name> parameters:<parameters>".
    [[nodiscard]] std::string description() const;

private:
    struct Token {};

public:
    DZNotification(Token, std::string name, core::Dictionary parameters)
        : name_(std::move(name)), parameters_(std::move(parameters)) {}

private:
    const std::string name_;
    const core::Dictionary parameters_;
};

}  // namespace ads
