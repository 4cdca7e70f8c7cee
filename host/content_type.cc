#include "host/content_type.h"

namespace lumorel {
namespace {

bool startsWith(std::string_view bytes, std::string_view prefix) {
  return bytes.substr(0, prefix.size()) == prefix;
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool looksLikeMarkup(std::string_view bytes) {
  if (startsWith(bytes, "\xEF\xBB\xBF")) bytes.remove_prefix(3);
  std::size_t i = 0;
  while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' ||
                              bytes[i] == '\n' || bytes[i] == '\f'))
    ++i;
  if (i + 1 >= bytes.size() || bytes[i] != '<') return false;
  const char next = bytes[i + 1];
  return isAsciiLetter(next) || next == '!' || next == '?';
}

bool looksLikeText(std::string_view bytes) {
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1B) return false;
  }
  return true;
}

}  // namespace

std::string_view pictureContentType(std::string_view head) {
  const std::string_view type = sniffContentType(head);
  if (type == "image/jpeg" || type == "image/png" || type == "image/gif" || type == "image/bmp")
    return type;
  return "application/octet-stream";
}

std::string_view sniffContentType(std::string_view bytes) {
  if (startsWith(bytes, "GIF87a") || startsWith(bytes, "GIF89a")) return "image/gif";
  if (startsWith(bytes, "\xFF\xD8\xFF")) return "image/jpeg";
  if (startsWith(bytes, "\x89PNG\r\n\x1A\n")) return "image/png";
  if (startsWith(bytes, "BM")) return "image/bmp";
  if (startsWith(bytes, "RIFF") && bytes.size() >= 12 && bytes.substr(8, 4) == "WEBP")
    return "image/webp";
  if (startsWith(bytes, std::string_view("\0\0\1\0", 4))) return "image/x-icon";
  if (startsWith(bytes, std::string_view("II*\0", 4)) ||
      startsWith(bytes, std::string_view("MM\0*", 4)))
    return "image/tiff";
  if (looksLikeMarkup(bytes)) return "text/html";
  // A formatted page ends with one NUL; it is still text.
  std::string_view body = bytes;
  if (!body.empty() && body.back() == '\0') body.remove_suffix(1);
  if (looksLikeText(body)) return "text/plain";
  return "application/octet-stream";
}

}  // namespace lumorel
