#pragma once
// Lists of ping URL templates as the connectors build them: a network's own
// templates after the response's, rewritten by the analytics bridge for the
// event they report. Any thread.

#include <optional>
#include <string>

#include "core/Value.h"

namespace ads {

// The first list followed by the second; nullopt when both are empty.
std::optional<core::Array> DZMConcatenatedTemplates(const std::optional<core::Array>& first,
                                                    const std::optional<core::Array>& second);

// The templates as the analytics bridge rewrites them for the event; the
// list as it is when there is no bridge.
std::optional<core::Array> DZMTemplatesWithAnalytics(std::optional<core::Array> templates,
                                                     const std::string& eventType);

}  // namespace ads
