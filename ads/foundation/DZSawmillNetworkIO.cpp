#include "ads/foundation/DZSawmillNetworkIO.h"

#include <cmath>

#include "ads/foundation/DZHTTPRequest.h"
#include "ads/foundation/DZNetworkErrors.h"
#include "ads/foundation/DZURLSessionLimits.h"
#include "core/URLSession.h"
#include "core/Unicode.h"

namespace ads {

namespace {

Error invalid(std::string message) {
    return DZErrorWithCodeDescription(kDZErrorInternalError, std::move(message));
}

// Absent, or present as null (a script's undefined): not given.
const core::Value* given(const core::Dictionary& parameters, std::string_view key) {
    const core::Value* value = parameters.find(key);
    return value && !value->isNull() ? value : nullptr;
}

std::optional<core::Data> byteArray(const core::Value& body) {
    const core::Array* elements = body.array();
    if (!elements) return std::nullopt;
    core::Data bytes;
    bytes.reserve(elements->size());
    for (const core::Value& element : *elements) {
        if (!element.isNumber()) return std::nullopt;
        const double number = element.doubleValue();
        if (!(number >= 0 && number <= 255) || std::floor(number) != number) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(number));
    }
    return bytes;
}

bool isToken(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        const bool letterOrDigit =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!letterOrDigit &&
            std::string_view("!#$%&'*+-.^_`|~").find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

bool isFieldValue(std::string_view text) {
    for (const char c : text) {
        if (c == '\r' || c == '\n' || c == '\0') return false;
    }
    return true;
}

std::optional<core::Dictionary> headerFields(const core::Value& headers) {
    const core::Dictionary* fields = headers.dictionary();
    if (!fields) return std::nullopt;
    for (const auto& [name, value] : *fields) {
        if (!isToken(name) || !value.string() || !isFieldValue(*value.string())) {
            return std::nullopt;
        }
    }
    return *fields;
}

std::string responseText(const core::Data& body) {
    const std::string_view text(reinterpret_cast<const char*>(body.data()), body.size());
    return core::Unicode::isValidUTF8(text) ? std::string(text) : std::string();
}

}  // namespace

std::optional<core::URLRequest>
DZSawmillNetworkIO::requestFromParameters(const core::Value& parameters, Error* error) {
    const auto fail = [error](std::string message) -> std::optional<core::URLRequest> {
        if (error) *error = invalid(std::move(message));
        return std::nullopt;
    };
    const core::Dictionary* dictionary = parameters.dictionary();
    if (!dictionary) return fail("The network parameters are not an object.");
    const core::Value* urlText = given(*dictionary, "url");
    const auto url =
        urlText && urlText->string() ? core::URL::create(*urlText->string()) : std::nullopt;
    if (!url || !url->isHTTPorHTTPS()) return fail("The \"url\" is not an http or https URL.");

    std::optional<core::Dictionary> headers;
    if (const core::Value* headerValue = given(*dictionary, "request_headers")) {
        headers = headerFields(*headerValue);
        if (!headers) return fail("The \"request_headers\" are not an object of texts.");
    }
    auto request = DZMakeURLRequest(url, std::nullopt, headers, std::nullopt);
    if (!request) return fail("The \"url\" is not an http or https URL.");

    if (const core::Value* method = given(*dictionary, "request_type")) {
        if (!method->string() || !isToken(*method->string())) {
            return fail("The \"request_type\" is not an HTTP method.");
        }
        request->setMethod(*method->string());
    }
    if (const core::Value* body = given(*dictionary, "body")) {
        const std::string type = (*dictionary)["body_type"].stringValue();
        if (type == "byte_array") {
            auto bytes = byteArray(*body);
            if (!bytes) return fail("The \"body\" is not an array of bytes (0 to 255).");
            request->setBody(std::move(*bytes));
        } else if (type == "string") {
            if (!body->string()) return fail("The \"body\" is not a text.");
            request->setBody(std::string_view(*body->string()));
        }
    }
    return request;
}

DZSawmillNetworkIOResult DZSawmillNetworkIO::failure(int statusCode, const Error& error,
                                                     std::string response) {
    return {false, core::Dictionary{{"status_code", statusCode},
                                    {"error_code", error.code},
                                    {"error_message", error.message},
                                    {"response", std::move(response)}}};
}

void DZSawmillNetworkIO::send(const core::Value& parameters, std::shared_ptr<core::Queue> queue,
                              Completion completion) {
    Error error;
    auto request = requestFromParameters(parameters, &error);
    if (!request) {
        queue->async([completion = std::move(completion), error] {
            if (completion) completion(failure(0, error, ""));
        });
        return;
    }
    auto task = DZURLSession()->dataTask(
        std::move(*request),
        [completion = std::move(completion)](core::Data body,
                                             std::optional<core::HTTPURLResponse> response,
                                             std::optional<core::NetworkError> transport) {
            if (!completion) return;
            const int status = response ? response->statusCode() : 0;
            std::string text = responseText(body);
            if (transport) {
                completion(failure(status, DZErrorFromNetworkError(*transport), std::move(text)));
            } else if (status >= 400) {
                completion(failure(status, DZInvalidResponseError(status), std::move(text)));
            } else {
                completion({true, core::Dictionary{{"status_code", status},
                                                   {"response", std::move(text)}}});
            }
        },
        std::move(queue));
    task->resume();
}

}  // namespace ads
