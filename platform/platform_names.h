// Names that differ between the Windows and the Linux build, kept in one place.
#ifndef SOLVARIUM_PLATFORM_PLATFORM_NAMES_H_
#define SOLVARIUM_PLATFORM_PLATFORM_NAMES_H_

namespace solvarium {
namespace platform {

// Platform directory under BROXBINDIR.
inline constexpr const char* kPlatformDir = "linux-amd64";
// Run-status library file inside kPlatformDir.
inline constexpr const char* kQuennetLibrary = "libQuennet.so";
// The Brox programs (no ".exe" suffix here).
inline constexpr const char* kMonitorDataProgram = "broxmondata";
inline constexpr const char* kStopProgram = "broxstop";

}  // namespace platform
}  // namespace solvarium

#endif  // SOLVARIUM_PLATFORM_PLATFORM_NAMES_H_
