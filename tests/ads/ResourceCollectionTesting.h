#pragma once
// Shared by the resource record and collection tests: an ad view double, a
// host resolver of fixed answers and request builders.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "ads/core/response/DZAd.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "ads/web/intercept/DZHostAddressResolution.h"
#include "core/RunLoop.h"
#include "core/URLRequest.h"
#include "ui/View.h"

namespace resourcetesting {

// What the collection reads of an ad view, set by the test.
class FakeAdView : public ui::View {
public:
    FakeAdView() : ui::View(gfx::Rect(0, 0, 320, 50)) {}
    [[nodiscard]] bool touched() const { return touched_; }
    [[nodiscard]] std::shared_ptr<ads::DZAd> ad() const { return ad_; }

    bool touched_ = false;
    std::shared_ptr<ads::DZAd> ad_;
};

// Answers from the table for as long as it lives; other names fail.
class ResolverScope {
public:
    explicit ResolverScope(std::map<std::string, std::string> addresses)
        : previous_(ads::DZCurrentHostResolver()) {
        ads::DZSetHostResolver([addresses = std::move(addresses)](const std::string& host) {
            const auto found = addresses.find(host);
            return found == addresses.end() ? std::nullopt
                                            : std::optional<std::string>(found->second);
        });
    }
    ~ResolverScope() { ads::DZSetHostResolver(previous_); }
    ResolverScope(const ResolverScope&) = delete;
    ResolverScope& operator=(const ResolverScope&) = delete;

private:
    ads::DZHostResolver previous_;
};

inline core::URL url(const std::string& text) {
    return *core::URL::create(text);
}

inline core::URLRequest request(const std::string& target,
                                const std::optional<std::string>& page = std::nullopt,
                                std::initializer_list<core::HTTPHeaders::Field> headers = {}) {
    core::URLRequest made(url(target));
    if (page) made.setMainDocumentURL(url(*page));
    for (const auto& [name, value] : headers) made.setValue(name, value);
    return made;
}

// A URL as a browser engine writes it (URL::createFromWeb).
inline core::URL webURL(const std::string& text) {
    return *core::URL::createFromWeb(text);
}

// A request of the engine's: its URL and page as the engine wrote them.
inline core::URLRequest webRequest(const std::string& target,
                                   const std::optional<std::string>& page = std::nullopt,
                                   std::initializer_list<core::HTTPHeaders::Field> headers = {}) {
    core::URLRequest made(webURL(target));
    if (page) made.setMainDocumentURL(webURL(*page));
    for (const auto& [name, value] : headers) made.setValue(name, value);
    return made;
}

// The report once every resource in it has been classified.
inline core::Dictionary classifiedReport(const ads::DZAdViewResourceCollection& collection) {
    core::Dictionary report;
    const bool settled = core::RunLoop::main().runUntil(
        [&] {
            report = collection.dictionaryRepresentation();
            for (const core::Value& entry : *report["resources"].array()) {
                if (entry["ad_resource_type"].intValue() == 0) return false;
            }
            return true;
        },
        5);
    EXPECT_TRUE(settled);
    return report;
}

}  // namespace resourcetesting
