// Text conversions and checks the Win32 layer shares: the engine's 8-bit
// ANSI text against the UTF-16 the wide APIs want, and the reason of a
// Win32 error as a message.
#ifndef LUMOREL_PLATFORM_WIN32_WIN32_TEXT_H_
#define LUMOREL_PLATFORM_WIN32_WIN32_TEXT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumorel {

// `text` in the system's ANSI code page as UTF-16; nullopt when it holds a
// NUL or cannot be converted (a text is never cut short).
std::optional<std::wstring> ansiToWide(std::string_view text);

// `text` in UTF-16 as ANSI; nullopt when any character has no ANSI form
// (a '?' in its place would name something else).
std::optional<std::string> wideToAnsi(std::wstring_view text);

// The system's message for the Win32 error `code`, without its line end;
// "error <code>" when the system has none.
std::string win32ErrorText(uint32_t code);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_WIN32_TEXT_H_
