#include "platform/win32/win32_text.h"

#include <windows.h>

#include <limits>

namespace lumorel {

std::optional<std::wstring> ansiToWide(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  if (text.empty()) return std::wstring();
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return std::nullopt;
  const int inLength = static_cast<int>(text.size());
  const int outLength =
      MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), inLength, nullptr, 0);
  if (outLength <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(outLength), L'\0');
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), inLength, wide.data(),
                          outLength) != outLength)
    return std::nullopt;
  return wide;
}

std::optional<std::string> wideToAnsi(std::wstring_view text) {
  if (text.find(L'\0') != std::wstring_view::npos) return std::nullopt;
  if (text.empty()) return std::string();
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return std::nullopt;
  const int inLength = static_cast<int>(text.size());
  BOOL lossy = FALSE;
  const int outLength =
      WideCharToMultiByte(CP_ACP, 0, text.data(), inLength, nullptr, 0, nullptr, &lossy);
  if (outLength <= 0 || lossy) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(outLength), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, text.data(), inLength, ansi.data(), outLength, nullptr,
                          &lossy) != outLength ||
      lossy)
    return std::nullopt;
  return ansi;
}

std::string win32ErrorText(uint32_t code) {
  char* message = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&message), 0, nullptr);
  std::string text = length > 0 && message ? std::string(message, length) : "";
  if (message) LocalFree(message);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text.empty() ? "error " + std::to_string(code) : text;
}

}  // namespace lumorel
