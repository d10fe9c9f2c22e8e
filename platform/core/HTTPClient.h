#pragma once
// A thin request layer over URLSession for code that fetches JSON or bytes:
// GET (or another method) of a URL text with parameters encoded into the
// query and headers, and a handler that runs exactly once, on the main
// queue, with a result. A final HTTP status of 400 or more is a failure
// whose error names the status (the body is kept in the result for callers
// that want it).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/HTTPURLResponse.h"
#include "core/URLSession.h"
#include "core/Value.h"

namespace core {

struct HTTPClientError {
    std::string message;
    std::optional<int> statusCode;      // when the server answered with an error status
    std::optional<NetworkError> network;  // when the request itself failed
    // The text shown to users: the message.
    [[nodiscard]] const std::string& description() const { return message; }
};

template <typename T>
struct HTTPResult {
    std::optional<T> value;              // on success
    std::optional<HTTPClientError> error;  // on failure
    std::optional<HTTPURLResponse> response;
    Data body;  // the raw body, also on failure
    [[nodiscard]] bool isSuccess() const { return value.has_value(); }
};

// Parameters in order; values are texts or numbers.
using HTTPParameters = std::vector<std::pair<std::string, Value>>;
using HTTPHeaderList = std::vector<std::pair<std::string, std::string>>;

class HTTPClient {
public:
    using JSONHandler = std::function<void(const HTTPResult<Value>&)>;
    using DataHandler = std::function<void(const HTTPResult<Data>&)>;

    // The URL text with the parameters appended to its query
    // ("a=1&q=%E5%B1%B1"), or nullopt when the text is not an http(s) URL.
    [[nodiscard]] static std::optional<URL> encodedURL(const std::string& urlText,
                                                       const HTTPParameters& parameters);

    // The JSON body (a bare fragment allowed) as the value.
    static void requestJSON(const std::shared_ptr<URLSession>& session, const std::string& urlText,
                            const HTTPParameters& parameters, const HTTPHeaderList& headers,
                            JSONHandler handler, std::string method = "GET");
    // The body bytes as the value.
    static void requestData(const std::shared_ptr<URLSession>& session, const std::string& urlText,
                            const HTTPParameters& parameters, const HTTPHeaderList& headers,
                            DataHandler handler, std::string method = "GET");
};

}  // namespace core
