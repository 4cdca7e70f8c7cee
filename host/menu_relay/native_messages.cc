#include "host/menu_relay/native_messages.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lumorel {
namespace {

bool readExactly(int fd, char* out, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::read(fd, out + got, n - got);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    got += static_cast<std::size_t>(r);
  }
  return true;
}

bool writeExactly(int fd, const char* data, std::size_t n) {
  std::size_t put = 0;
  while (put < n) {
    const ssize_t w = ::write(fd, data + put, n - put);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    put += static_cast<std::size_t>(w);
  }
  return true;
}

}  // namespace

std::optional<std::string> readNativeMessage(int fd) {
  uint32_t length = 0;
  if (!readExactly(fd, reinterpret_cast<char*>(&length), sizeof length)) return std::nullopt;
  if (length > kMaxIncomingMessage) return std::nullopt;
  std::string text(length, '\0');
  if (!readExactly(fd, text.data(), length)) return std::nullopt;
  return text;
}

bool writeNativeMessage(int fd, std::string_view json) {
  if (json.size() > kMaxOutgoingMessage) return false;
  const auto length = static_cast<uint32_t>(json.size());
  std::string framed(sizeof length, '\0');
  std::memcpy(framed.data(), &length, sizeof length);
  framed.append(json);
  return writeExactly(fd, framed.data(), framed.size());
}

}  // namespace lumorel
