// Fixed text sizes of the engine, in one place.
//
// Inside the engine text is 8-bit and NUL-free. A text that does not fit its
// buffer is skipped or refused by the code that meets it, never cut into
// another name.
#ifndef LUMOREL_PLATFORM_LIMITS_H_
#define LUMOREL_PLATFORM_LIMITS_H_

#include <cstddef>

namespace lumorel {

#ifdef _WIN32
// Bytes of a path buffer, the terminating NUL included.
inline constexpr std::size_t kMaxPath = 260;
// The character that joins a folder and a name in the paths the engine builds.
inline constexpr char kFolderSeparator = '\\';
#else
inline constexpr std::size_t kMaxPath = 4096;
inline constexpr char kFolderSeparator = '/';
#endif

// Bytes of an address buffer (URLs passed by script), NUL included.
inline constexpr std::size_t kMaxUrl = 2084;

// How long an operation waits for the catalogue's worker before it gives up.
inline constexpr unsigned kWorkerWaitMs = 60000;

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_LIMITS_H_
