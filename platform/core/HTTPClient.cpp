#include "core/HTTPClient.h"

#include "core/CharacterSet.h"
#include "core/JSON.h"
#include "core/PercentEncoding.h"
#include "core/Queue.h"

namespace core {

namespace {

// Query names and values escape the general and sub-delimiters, except "?"
// and "/", which cannot end a query.
const CharacterSet& queryValueAllowed() {
    static const CharacterSet allowed =
        CharacterSet::urlQueryAllowed().subtracting(CharacterSet::fromCharacters(":#[]@!$&'()*+,;="));
    return allowed;
}

std::string statusMessage(int status) {
    return "Response status code was unacceptable: " + std::to_string(status) + ".";
}

using RawHandler =
    std::function<void(Data body, std::optional<HTTPURLResponse>, std::optional<HTTPClientError>)>;

void send(const std::shared_ptr<URLSession>& session, const std::string& urlText,
          const HTTPParameters& parameters, const HTTPHeaderList& headers, std::string method,
          RawHandler handler) {
    std::optional<URL> url = HTTPClient::encodedURL(urlText, parameters);
    if (!url) {
        Queue::main()->async([handler, urlText] {
            handler({}, std::nullopt, HTTPClientError{"URL is not valid: " + urlText, {}, {}});
        });
        return;
    }
    URLRequest request(*url);
    request.setMethod(std::move(method));
    for (const auto& [name, value] : headers) request.setValue(name, value);
    auto task = session->dataTask(
        std::move(request),
        [handler](Data body, std::optional<HTTPURLResponse> response,
                  std::optional<NetworkError> error) {
            std::optional<HTTPClientError> failure;
            if (error) {
                failure = HTTPClientError{error->message, {}, error};
            } else if (response && response->statusCode() >= 400) {
                failure = HTTPClientError{statusMessage(response->statusCode()),
                                          response->statusCode(), {}};
            }
            handler(std::move(body), std::move(response), std::move(failure));
        },
        Queue::main());
    task->resume();
}

}  // namespace

std::optional<URL> HTTPClient::encodedURL(const std::string& urlText,
                                          const HTTPParameters& parameters) {
    std::optional<URL> base = URL::create(urlText);
    if (!base || !base->isHTTPorHTTPS()) return std::nullopt;
    if (parameters.empty()) return base;

    std::string query;
    for (const auto& [name, value] : parameters) {
        if (!query.empty()) query += '&';
        query += percentEncode(name, queryValueAllowed());
        query += '=';
        query += percentEncode(value.stringValue(), queryValueAllowed());
    }
    // Before any fragment; joined to an existing query with "&".
    std::string text = urlText;
    std::string fragment;
    if (const auto hash = text.find('#'); hash != std::string::npos) {
        fragment = text.substr(hash);
        text.erase(hash);
    }
    if (text.find('?') == std::string::npos) text += '?';
    else if (text.back() != '?' && text.back() != '&') text += '&';
    return URL::create(text + query + fragment);
}

namespace {

// Sends the request and hands the handler a result whose value `serialize`
// makes from the body of a successful response (or sets the error).
template <typename T, typename Serialize>
void request(const std::shared_ptr<URLSession>& session, const std::string& urlText,
             const HTTPParameters& parameters, const HTTPHeaderList& headers, std::string method,
             std::function<void(const HTTPResult<T>&)> handler, Serialize serialize) {
    send(session, urlText, parameters, headers, std::move(method),
         [handler = std::move(handler), serialize](Data body, std::optional<HTTPURLResponse> response,
                                                   std::optional<HTTPClientError> failure) {
             HTTPResult<T> result;
             result.response = std::move(response);
             result.error = std::move(failure);
             if (!result.error) serialize(body, result);
             result.body = std::move(body);
             handler(result);
         });
}

void serializeJSON(const Data& body, HTTPResult<Value>& result) {
    if (body.empty()) {
        result.error = HTTPClientError{"Response could not be serialized: the body is empty.", {}, {}};
        return;
    }
    JSONReadOptions options;
    options.allowFragments = true;
    JSONError parseError;
    const std::string_view text(reinterpret_cast<const char*>(body.data()), body.size());
    if (auto value = JSON::parse(text, options, &parseError)) result.value = std::move(*value);
    else result.error = HTTPClientError{"JSON could not be serialized: " + parseError.message, {}, {}};
}

}  // namespace

void HTTPClient::requestJSON(const std::shared_ptr<URLSession>& session, const std::string& urlText,
                             const HTTPParameters& parameters, const HTTPHeaderList& headers,
                             JSONHandler handler, std::string method) {
    request<Value>(session, urlText, parameters, headers, std::move(method), std::move(handler),
                   serializeJSON);
}

void HTTPClient::requestData(const std::shared_ptr<URLSession>& session, const std::string& urlText,
                             const HTTPParameters& parameters, const HTTPHeaderList& headers,
                             DataHandler handler, std::string method) {
    request<Data>(session, urlText, parameters, headers, std::move(method), std::move(handler),
                  [](const Data& body, HTTPResult<Data>& result) { result.value = body; });
}

}  // namespace core
