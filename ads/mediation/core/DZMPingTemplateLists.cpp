#include "ads/mediation/core/DZMPingTemplateLists.h"

#include <vector>

#include "ads/foundation/DZAnalytics.h"

namespace ads {

std::optional<core::Array> DZMConcatenatedTemplates(const std::optional<core::Array>& first,
                                                    const std::optional<core::Array>& second) {
    core::Array all;
    if (first) all.insert(all.end(), first->begin(), first->end());
    if (second) all.insert(all.end(), second->begin(), second->end());
    if (all.empty()) return std::nullopt;
    return all;
}

std::optional<core::Array> DZMTemplatesWithAnalytics(std::optional<core::Array> templates,
                                                     const std::string& eventType) {
    if (!templates || !DZAnalytics::sharedInstance()) return templates;
    std::vector<std::string> texts;
    for (const core::Value& entry : *templates)
        if (const std::string* text = entry.string()) texts.push_back(*text);
    core::Array rewritten;
    for (auto& text : DZApplyAnalyticsToTrackingURLStrings(texts, eventType))
        rewritten.emplace_back(std::move(text));
    return rewritten;
}

}  // namespace ads
