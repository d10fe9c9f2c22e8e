#pragma once
// Whether this test build runs under AddressSanitizer or ThreadSanitizer,
// for what they change: resident sizes (freed memory in quarantine, shadow
// bytes), and the signal handlers they install.

namespace testsupport {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

}  // namespace testsupport
