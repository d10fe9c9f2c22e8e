#include "app/services/AlamofireService.h"

namespace app {

std::shared_ptr<core::URLSession> AlamofireService::sharedSession() {
    static const std::shared_ptr<core::URLSession> session = [] {
        core::URLSessionConfiguration configuration;
        configuration.timeoutIntervalForRequest = kRequestTimeout;
        return core::URLSession::create(configuration);
    }();
    return session;
}

std::shared_ptr<core::URLSession> AlamofireService::defaultSession() {
    static const std::shared_ptr<core::URLSession> session =
        core::URLSession::create(core::URLSessionConfiguration{});
    return session;
}

}  // namespace app
