#include "host/script_json.h"

namespace lumorel {
namespace {

constexpr char kHex[] = "0123456789abcdef";

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of the four hex digits at `s[at]`, or -1.
long hex4(std::string_view s, std::size_t at) {
  if (at + 4 > s.size()) return -1;
  long value = 0;
  for (std::size_t i = at; i < at + 4; ++i) {
    int digit = hexValue(s[i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// The length of the valid UTF-8 sequence at `s[at]`, or 0 when the byte
// there does not start one (overlong forms, surrogates and values past
// U+10FFFF are not valid).
std::size_t validSequence(std::string_view s, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (at + length > s.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  return length;
}

void appendCarriedByte(std::string& out, unsigned char b) {
  out.push_back('\0');
  out.push_back(kHex[b >> 4]);
  out.push_back(kHex[b & 0xF]);
}

}  // namespace

std::string carriedText(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = bytes[i] == '\0' ? 0 : validSequence(bytes, i);
    if (length == 0) {
      appendCarriedByte(out, static_cast<unsigned char>(bytes[i]));
      ++i;
    } else {
      out.append(bytes.substr(i, length));
      i += length;
    }
  }
  return out;
}

std::string engineText(std::string_view carried) {
  std::string out;
  out.reserve(carried.size());
  for (std::size_t i = 0; i < carried.size(); ++i) {
    if (carried[i] == '\0' && i + 2 < carried.size() + 0 && hexValue(carried[i + 1]) >= 0 &&
        hexValue(carried[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(carried[i + 1]) * 16 + hexValue(carried[i + 2])));
      i += 2;
    } else {
      out.push_back(carried[i]);
    }
  }
  return out;
}

std::string dumpScriptJson(const nlohmann::json& value) {
  // Carried strings are valid UTF-8, so dump() does not throw on them; the
  // replace handler keeps it from throwing on anything else.
  const std::string plain = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  std::string out;
  out.reserve(plain.size());
  for (std::size_t i = 0; i < plain.size(); ++i) {
    if (plain[i] != '\\') {
      out.push_back(plain[i]);
      continue;
    }
    // "\u0000" then two hex digits is a carried byte (or, for "00", a NUL).
    if (plain.compare(i, 6, "\\u0000") == 0 && i + 8 <= plain.size() &&
        hexValue(plain[i + 6]) >= 0 && hexValue(plain[i + 7]) >= 0) {
      if (plain[i + 6] == '0' && plain[i + 7] == '0') {
        out.append("\\u0000");
      } else {
        out.append("\\udc");
        out.push_back(plain[i + 6]);
        out.push_back(plain[i + 7]);
      }
      i += 7;
      continue;
    }
    out.push_back(plain[i]);
    if (i + 1 < plain.size()) out.push_back(plain[++i]);  // the escaped character
  }
  return out;
}

std::optional<nlohmann::json> parseScriptJson(std::string_view body, std::string& error) {
  // First the escapes that the parser refuses but the bridge sends: a lone
  // U+DC80..U+DCFF becomes a carried byte, and a "\u0000" a carried NUL.
  std::string text;
  text.reserve(body.size());
  bool inString = false;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (!inString) {
      if (c == '"') inString = true;
      text.push_back(c);
      continue;
    }
    if (c == '"') {
      inString = false;
      text.push_back(c);
      continue;
    }
    if (c != '\\' || i + 1 >= body.size()) {
      text.push_back(c);
      continue;
    }
    if (body[i + 1] != 'u') {
      text.append(body.substr(i, 2));
      ++i;
      continue;
    }
    const long unit = hex4(body, i + 2);
    if (unit >= 0xD800 && unit <= 0xDBFF && body.compare(i + 6, 2, "\\u") == 0) {
      const long next = hex4(body, i + 8);
      if (next >= 0xDC00 && next <= 0xDFFF) {  // a proper pair
        text.append(body.substr(i, 12));
        i += 11;
        continue;
      }
    }
    if (unit >= 0xDC80 && unit <= 0xDCFF) {
      text.append("\\u0000");
      text.push_back(kHex[(unit >> 4) & 0xF]);
      text.push_back(kHex[unit & 0xF]);
      i += 5;
      continue;
    }
    if (unit == 0) {
      text.append("\\u000000");
      i += 5;
      continue;
    }
    text.append(body.substr(i, 2));
    ++i;
  }
  try {
    return nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    error = e.what();
    return std::nullopt;
  }
}

}  // namespace lumorel
