// Result codes of the script and protocol interfaces: the COM HRESULT values,
// as plain numbers, so both shells give callers the same ones.
#ifndef LUMOREL_PLATFORM_HRESULT_H_
#define LUMOREL_PLATFORM_HRESULT_H_

#include <cstdint>

namespace lumorel {

using HResult = int32_t;

inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;
inline constexpr HResult kENotImpl = static_cast<HResult>(0x80004001u);
inline constexpr HResult kEFail = static_cast<HResult>(0x80004005u);
inline constexpr HResult kEInvalidArg = static_cast<HResult>(0x80070057u);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_HRESULT_H_
