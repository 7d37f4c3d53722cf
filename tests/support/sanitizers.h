// Which sanitizer the tests were built with: a figure of CPU or memory
// means nothing under one that multiplies every thread's work or keeps
// freed memory in quarantine.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define LOGSHIP_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define LOGSHIP_TSAN 1
#endif
#endif

#if defined(__SANITIZE_ADDRESS__)
#define LOGSHIP_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LOGSHIP_ASAN 1
#endif
#endif

namespace tst {

#ifdef LOGSHIP_TSAN
inline constexpr bool kThreadSanitizer = true;
#else
inline constexpr bool kThreadSanitizer = false;
#endif
#ifdef LOGSHIP_ASAN
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif

}  // namespace tst
