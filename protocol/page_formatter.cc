#include "protocol/page_formatter.h"

namespace lumorel {
namespace {

bool needsEscape(unsigned char c) {
  switch (c) {
    case '"':
    case '\'':
    case '`':
    case '\\':
    case '<':
    case '>':
    case '&':
      return true;
    default:
      return c < 0x20 || c == 0x7F;
  }
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void appendScriptEscaped(std::string& out, std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // Bytes at either end that could join the text beside the value into a
  // U+2028 or U+2029 (E2 80 A8, E2 80 A9): leading continuation bytes, and a
  // trailing E2 or E2 80. They are not whole characters, so escaping them
  // loses nothing.
  auto joins = [](char c) { return c == '\x80' || c == '\xA8' || c == '\xA9'; };
  std::size_t head = 0;
  while (head < 2 && head < value.size() && joins(value[head])) ++head;
  std::size_t tail = value.size();
  if (value.ends_with('\xE2')) {
    tail -= 1;
  } else if (value.ends_with("\xE2\x80")) {
    tail -= 2;
  }
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto c = static_cast<unsigned char>(value[i]);
    if (needsEscape(c) || i < head || i >= tail) {
      out += "\\x";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    } else if (c == 0xE2 && i + 2 < value.size() && value[i + 1] == '\x80' &&
               (value[i + 2] == '\xA8' || value[i + 2] == '\xA9')) {
      out += value[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
}

std::optional<std::string> formatPage(std::string_view pageTemplate,
                                      const std::array<std::string_view, 4>& inserts) {
  std::string out;
  out.reserve(pageTemplate.size() + pageTemplate.size() / 8);
  const std::size_t n = pageTemplate.size();
  for (std::size_t i = 0; i < n;) {
    const char c = pageTemplate[i];
    if (c != '%') {
      // Copy the run up to the next "%" in one piece.
      std::size_t next = pageTemplate.find('%', i);
      if (next == std::string_view::npos) next = n;
      out.append(pageTemplate.substr(i, next - i));
      i = next;
      continue;
    }
    if (i + 1 == n) break;  // a "%" that ends the template
    const char d = pageTemplate[i + 1];
    if (d == '0') break;  // "%0" ends the output
    if (!isDigit(d)) {
      out.push_back(d == 'n' ? '\r' : d);
      if (d == 'n') out.push_back('\n');
      i += 2;
      continue;
    }
    int number = d - '0';
    i += 2;
    if (i < n && isDigit(pageTemplate[i])) number = number * 10 + (pageTemplate[i++] - '0');
    if (number < 1 || number > 4) return std::nullopt;
    if (i < n && pageTemplate[i] == '!') {
      if (pageTemplate.substr(i, 3) != "!s!") return std::nullopt;
      i += 3;
    }
    appendScriptEscaped(out, inserts[static_cast<std::size_t>(number - 1)]);
  }
  return out;
}

}  // namespace lumorel
