#pragma once
// The User-Agent that the SDK's own HTTP requests carry. The agent belongs
// to the network signals (the ad web view reports its agent there); until
// they exist, or when they install nothing, a fixed default naming the SDK
// stands in. Safe from any thread.

#include <functional>
#include <string>

namespace ads {

using DZUserAgentProvider = std::function<std::string()>;

// The current agent; an empty text means "send none".
[[nodiscard]] std::string DZUserAgent();

// Makes provider the source of DZUserAgent(); an empty function restores the
// default. Answers the previous provider (empty for the default).
DZUserAgentProvider DZSetUserAgentProvider(DZUserAgentProvider provider);

// "Mozilla/5.0 (Linux; Vantor) duzo-sdk-i-v7.22.0"
[[nodiscard]] std::string DZDefaultUserAgent();

}  // namespace ads
