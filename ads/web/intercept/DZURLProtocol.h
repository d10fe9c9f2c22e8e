#pragma once
// The SDK's URL protocol: once registered, it will be offered the loads of
// ad pages. Registration happens once per process at start-up; nothing is
// intercepted yet. Each call of DZRegisterURLProtocol is recorded in
// DZCallLog. Any thread.

namespace ads {

void DZRegisterURLProtocol();
[[nodiscard]] bool DZURLProtocolIsRegistered();

}  // namespace ads
