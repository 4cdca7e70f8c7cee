#include "protocol/save_path.h"

namespace lumorel {
namespace {

int hexValue(char c) {
  const int code = static_cast<unsigned char>(c);
  if (c >= '0' && c <= '9') return code - '0';
  if (c >= 'A' && c <= 'F') return code - 'A' + 10;
  return code - 'a' + 10;
}

}  // namespace

std::optional<std::string> decodeSavePath(std::string_view encoded) {
  if (encoded.size() > kMaxSavePathLength) return std::nullopt;
  std::string path;
  path.reserve(encoded.size());
  for (std::size_t i = 0; i < encoded.size();) {
    if (encoded[i] != '%' || i + 1 == encoded.size()) {
      path.push_back(encoded[i++]);
      continue;
    }
    int byte = 16 * hexValue(encoded[i + 1]);
    if (i + 2 < encoded.size()) {
      byte += hexValue(encoded[i + 2]);
      i += 3;
    } else {
      i += 2;
    }
    path.push_back(static_cast<char>(static_cast<unsigned char>(byte & 0xFF)));
  }
  if (path.find('\0') != std::string::npos) return std::nullopt;
  return path;
}

}  // namespace lumorel
