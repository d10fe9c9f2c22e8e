#include "app/services/HitokotoService.h"

#include "app/services/AlamofireService.h"
#include "app/services/AppConfiguration.h"
#include "core/Console.h"
#include "core/JSON.h"

namespace app {

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
            if (!result.value || result.value->empty()) return;
            const std::string_view text(reinterpret_cast<const char*>(result.value->data()),
                                        result.value->size());
            const auto json = core::JSON::parse(text);
            if (!json) return;
            auto model = HitokotoModel::decode(*json);
            if (!model) return;
            if (!model->hitokoto || model->hitokoto->empty()) {
                if (failure) failure(core::HTTPClientError{"The quote service sent no quote.", {}, {}});
                return;
            }
            model->hitokoto = breakLines(*model->hitokoto);
            if (success) success(*model);
            core::Console::log(std::string(text));
        });
}

}  // namespace app
