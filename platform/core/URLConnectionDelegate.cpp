#include "core/URLConnectionDelegate.h"

namespace core {

std::optional<URLRequest> URLConnectionDelegate::willSendRequest(URLConnection&,
                                                                 URLRequest newRequest,
                                                                 const HTTPURLResponse&) {
    return newRequest;
}

void URLConnectionDelegate::didReceiveResponse(URLConnection&, const HTTPURLResponse&) {}

void URLConnectionDelegate::didReceiveData(URLConnection&, const Data&) {}

std::optional<CachedURLResponse>
URLConnectionDelegate::willCacheResponse(URLConnection&, CachedURLResponse proposed) {
    return proposed;
}

void URLConnectionDelegate::didFinishLoading(URLConnection&) {}

void URLConnectionDelegate::didFailWithError(URLConnection&, const NetworkError&) {}

}  // namespace core
