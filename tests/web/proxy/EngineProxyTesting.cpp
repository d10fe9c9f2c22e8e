#include "EngineProxyTesting.h"

#include <gtest/gtest.h>

#include "core/NetworkThread.h"
#include "core/URLProtocolRegistry.h"
#include "web/PageMark.h"

namespace proxytesting {

namespace {

struct Transfer {
    Reply* reply;
    const Request* request;
    curl_off_t fillerLeft = 0;
};

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto& reply = *static_cast<Transfer*>(user)->reply;
    std::string line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.starts_with("HTTP/")) {
        reply.headers = {};
    } else if (const size_t colon = line.find(':'); colon != std::string::npos) {
        size_t start = colon + 1;
        while (start < line.size() && line[start] == ' ') ++start;
        reply.headers.add(line.substr(0, colon), line.substr(start));
    }
    return size * count;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::string piece(data, size * count);
    transfer.reply->body += piece;
    if (transfer.request->onData) transfer.request->onData(piece);
    return size * count;
}

size_t onRead(char* buffer, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const auto bytes = static_cast<curl_off_t>(size * count);
    const size_t sent = size_t(std::min(bytes, transfer.fillerLeft));
    std::fill(buffer, buffer + sent, 'x');
    transfer.fillerLeft -= curl_off_t(sent);
    return sent;
}

}  // namespace

std::string pageMark(const std::string& key, std::uint64_t pageId, const std::string& document,
                     const std::string& method, const std::string& url) {
    web::protocol::PageMarkSeal seal(key);
    return std::string(web::protocol::kPageHeader) + ": " +
           seal.seal(pageId, document, method, url);
}

Reply fetch(const web::EngineProxy& proxy, const std::string& url, Request request) {
    (void)core::NetworkThread::shared();  // libcurl set up once for the process
    Reply reply;
    Transfer transfer{&reply, &request, request.fillerBytes.value_or(0)};
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.uri().c_str());
    const std::string credentials =
        proxy.user() + ":" + request.password.value_or(proxy.password());
    if (request.credentials) curl_easy_setopt(easy, CURLOPT_PROXYUSERPWD, credentials.c_str());
    const std::string authority = proxy.authorityPEM();
    curl_blob blob{const_cast<char*>(authority.data()), authority.size(), CURL_BLOB_COPY};
    curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
    curl_easy_setopt(easy, CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, request.timeoutMs);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_slist* headers = nullptr;
    for (const auto& header : request.headers) headers = curl_slist_append(headers, header.c_str());
    if (request.chunked) headers = curl_slist_append(headers, "Transfer-Encoding: chunked");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    if (request.method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (request.fillerBytes) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, onRead);
        curl_easy_setopt(easy, CURLOPT_READDATA, &transfer);
        if (!request.chunked)
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, *request.fillerBytes);
    } else if (request.method != "GET") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
    }
    reply.code = curl_easy_perform(easy);
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &reply.connectStatus);
    curl_certinfo* certificates = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CERTINFO, &certificates) == CURLE_OK && certificates &&
        certificates->num_of_certs > 0) {
        for (curl_slist* field = certificates->certinfo[0]; field; field = field->next) {
            const std::string text = field->data;
            if (text.starts_with("Subject:")) reply.certificateSubject = text.substr(8);
            if (text.starts_with("Issuer:")) reply.certificateIssuer = text.substr(7);
        }
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(easy);
    return reply;
}

class RecordingFactory::Protocol final : public core::URLProtocol {
public:
    Protocol(core::URLRequest request, std::shared_ptr<core::URLProtocolClient> client,
             std::shared_ptr<const RecordingFactory> factory)
        : URLProtocol(std::move(request), std::move(client)), factory_(std::move(factory)) {}

    void startLoading() override {
        ++factory_->starts;
        {
            std::lock_guard lock(factory_->mutex_);
            factory_->requests_.push_back(request());
        }
        switch (factory_->behaviour_) {
        case Behaviour::answer: {
            core::HTTPHeaders headers{{"Content-Type", "text/plain"},
                                      {"Content-Length", std::to_string(factory_->body_.size())}};
            client()->didReceiveResponse(
                core::HTTPURLResponse(request().url(), 200, std::move(headers)),
                core::CachedURLResponse::StoragePolicy::notAllowed);
            client()->didLoadData(core::Data(factory_->body_.begin(), factory_->body_.end()));
            client()->didFinishLoading();
            break;
        }
        case Behaviour::fail:
            client()->didFailWithError(
                core::NetworkError::make(core::NetworkError::Code::cannotConnectToHost,
                                         request().url().absoluteString(), "refused by the test"));
            break;
        case Behaviour::hold:
            break;
        case Behaviour::breakOffSized:
        case Behaviour::breakOffUnsized: {
            core::HTTPHeaders headers{{"Content-Type", "text/plain"}};
            if (factory_->behaviour_ == Behaviour::breakOffSized)
                headers.add("Content-Length", std::to_string(factory_->body_.size() * 2));
            client()->didReceiveResponse(
                core::HTTPURLResponse(request().url(), 200, std::move(headers)),
                core::CachedURLResponse::StoragePolicy::notAllowed);
            client()->didLoadData(core::Data(factory_->body_.begin(), factory_->body_.end()));
            client()->didFailWithError(core::NetworkError::make(
                core::NetworkError::Code::networkConnectionLost, request().url().absoluteString(),
                "broken off by the test"));
            break;
        }
        }
    }
    void stopLoading() override { ++factory_->stops; }

private:
    const std::shared_ptr<const RecordingFactory> factory_;
};

std::shared_ptr<core::URLProtocol>
RecordingFactory::make(core::URLRequest request,
                       std::shared_ptr<core::URLProtocolClient> client) const {
    return std::make_shared<Protocol>(std::move(request), std::move(client), shared_from_this());
}

std::vector<core::URLRequest> RecordingFactory::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

Registered::Registered(std::shared_ptr<RecordingFactory> factory) : factory_(std::move(factory)) {
    EXPECT_TRUE(core::URLProtocolRegistry::shared().registerFactory(factory_));
}

Registered::~Registered() {
    core::URLProtocolRegistry::shared().unregisterFactory(factory_);
}

}  // namespace proxytesting
