#include "core/URLSessionDelegate.h"

namespace core {

void URLSessionDelegate::willPerformHTTPRedirection(URLSession&, URLSessionTask&,
                                                    const HTTPURLResponse&, URLRequest newRequest,
                                                    RedirectDecision decide) {
    decide(std::move(newRequest));
}

void URLSessionDelegate::didReceiveResponse(URLSession&, URLSessionDataTask&,
                                            const HTTPURLResponse&, ResponseDecision decide) {
    decide(ResponseDisposition::allow);
}

void URLSessionDelegate::didReceiveData(URLSession&, URLSessionDataTask&, const Data&) {}

void URLSessionDelegate::didComplete(URLSession&, URLSessionTask&,
                                     const std::optional<NetworkError>&) {}

void URLSessionDelegate::didBecomeInvalid(URLSession&) {}

}  // namespace core
