// Whether this build runs under AddressSanitizer or ThreadSanitizer: their
// runtimes reserve terabytes of address space (no address-space limit fits)
// and use far larger stack frames.
#ifndef SOLVARIUM_PLATFORM_SANITIZED_BUILD_H_
#define SOLVARIUM_PLATFORM_SANITIZED_BUILD_H_

#ifndef __has_feature
#define __has_feature(feature) 0
#endif

namespace solvarium {
namespace platform {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || \
    __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

}  // namespace platform
}  // namespace solvarium

#endif  // SOLVARIUM_PLATFORM_SANITIZED_BUILD_H_
