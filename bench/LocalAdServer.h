#pragma once
// The local ad server over HTTPS as the SDK's ad server, made once per
// benchmark process: its test authority trusted by URL loading and web
// views, the SDK's ad-server host pointed at its secure port.

#include <stdlib.h>

#include <string>

#include "ads/foundation/DZServerHosts.h"
#include "core/URLSessionConfiguration.h"
#include "fixtures/AdServer.h"
#include "fixtures/TestCertificates.h"

namespace benchsupport {

inline fixtures::AdServer& localAdServer() {
    static auto* instance = [] {
        auto* made = new fixtures::AdServer;
        setenv(core::kTrustedCertificatesFileVariable,
               fixtures::TestCertificates::shared().authorityFile().c_str(), 1);
        ads::DZServerHosts::setAdServerHost("127.0.0.1:" +
                                            std::to_string(made->server().securePort()));
        return made;
    }();
    return *instance;
}

}  // namespace benchsupport
