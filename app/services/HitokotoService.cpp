#include "app/services/HitokotoService.h"

#include "app/services/AlamofireService.h"
#include "app/services/AppConfiguration.h"
#include "core/Console.h"
#include "core/JSON.h"

namespace app {

namespace {

core::HTTPClientError quoteError(std::string message, const core::HTTPResult<core::Data>& result) {
    std::optional<int> status;
    if (result.response) status = result.response->statusCode();
    return core::HTTPClientError{std::move(message), status, {}};
}

// The quote the answer carries, or why it carries none in `error`.
std::optional<HitokotoModel> quoteFrom(const core::HTTPResult<core::Data>& result,
                                       core::HTTPClientError& error) {
    if (result.error) {
        error = *result.error;
        return std::nullopt;
    }
    if (!result.value || result.value->empty()) {
        error = quoteError("The quote service sent an empty answer.", result);
        return std::nullopt;
    }
    const std::string_view text(reinterpret_cast<const char*>(result.value->data()),
                                result.value->size());
    const auto json = core::JSON::parse(text);
    auto model = json ? HitokotoModel::decode(*json) : std::nullopt;
    if (!model) {
        error = quoteError("The quote service's answer is not a quote.", result);
        return std::nullopt;
    }
    if (!model->hitokoto || model->hitokoto->empty()) {
        error = quoteError("The quote service sent no quote.", result);
        return std::nullopt;
    }
    return model;
}

}  // namespace

HitokotoService::HitokotoService() : url_(AppConfiguration::current().quoteURL) {}

std::string HitokotoService::breakLines(const std::string& text) {
    std::string out = text;
    for (const char* mark : {"，", "；", "。", "？", "！"}) {
        const std::string needle = mark;
        std::string next;
        size_t start = 0;
        for (size_t found; (found = out.find(needle, start)) != std::string::npos;
             start = found + needle.size()) {
            next.append(out, start, found + needle.size() - start);
            next += '\n';
        }
        next.append(out, start, std::string::npos);
        out = std::move(next);
    }
    return out;
}

void HitokotoService::requestHitokoto(Success success, Failure failure) {
    core::HTTPClient::requestData(
        AlamofireService::defaultSession(), url_, {}, {},
        [success = std::move(success),
         failure = std::move(failure)](const core::HTTPResult<core::Data>& result) {
            core::HTTPClientError error;
            auto model = quoteFrom(result, error);
            if (!model) {
                if (failure) failure(error);
                return;
            }
            model->hitokoto = breakLines(*model->hitokoto);
            if (success) success(*model);
            core::Console::log(std::string(reinterpret_cast<const char*>(result.value->data()),
                                           result.value->size()));
        });
}

}  // namespace app
