#include "core/URLSessionDataTask.h"

#include <atomic>

#include "core/URLSession.h"

namespace core {

URLSessionDataTask::URLSessionDataTask(std::shared_ptr<URLSession> session,
                                       std::uint64_t identifier, URLRequest request,
                                       std::shared_ptr<Queue> queue, Completion completion)
    : URLSessionTask(std::move(session), identifier, std::move(request), std::move(queue)),
      completion_(std::move(completion)) {}

std::shared_ptr<URLSessionDataTask> URLSessionDataTask::self() {
    return std::static_pointer_cast<URLSessionDataTask>(shared_from_this());
}

void URLSessionDataTask::receivedResponse(const HTTPURLResponse& response) {
    if (completion_) return;
    post([this, response] {
        const auto session = this->session();
        const auto delegate = session ? session->delegate() : nullptr;
        if (!delegate) return;
        closeGate();
        auto decided = std::make_shared<std::atomic<bool>>(false);
        delegate->didReceiveResponse(
            *session, *this, response,
            [task = self(), decided](URLSessionDelegate::ResponseDisposition disposition) {
                if (decided->exchange(true)) return;
                if (disposition == URLSessionDelegate::ResponseDisposition::allow) {
                    task->openGate();
                } else {
                    task->cancel();
                }
            });
    });
}

void URLSessionDataTask::receivedData(Data data) {
    if (completion_) {
        std::lock_guard lock(bodyMutex_);
        body_.insert(body_.end(), data.begin(), data.end());
        return;
    }
    post([this, data = std::move(data)] {
        const auto session = this->session();
        if (const auto delegate = session ? session->delegate() : nullptr) {
            delegate->didReceiveData(*session, *this, data);
        }
    });
}

void URLSessionDataTask::completed(const std::optional<NetworkError>& error) {
    if (completion_) {
        Data body;
        if (!error) {
            std::lock_guard lock(bodyMutex_);
            body = std::move(body_);
        }
        completion_(std::move(body), response(), error);
        return;
    }
    const auto session = this->session();
    if (const auto delegate = session ? session->delegate() : nullptr) {
        delegate->didComplete(*session, *this, error);
    }
}

}  // namespace core
