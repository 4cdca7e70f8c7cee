// Any template with any inserts: formatting must not fail in any other way
// than refusing, and no insert may leave its script string literal.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cctype>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/page_formatter.h"

namespace {

// True when `text` holds a byte that could end a script string literal or
// the script element, or a backslash that does not start a whole escape.
bool holdsUnsafeByte(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '\'' || c == '"' || c == '`' || c == '<' || c == '>' ||
        c == '&')
      return true;
    if (c == '\\') {
      const std::string_view rest = std::string_view(text).substr(i);
      auto hexDigit = [](char d) { return isxdigit(static_cast<unsigned char>(d)) != 0; };
      const bool hex = rest.size() >= 4 && rest[1] == 'x' && hexDigit(rest[2]) && hexDigit(rest[3]);
      if (!hex && rest.substr(0, 6) != "\\u2028" && rest.substr(0, 6) != "\\u2029") return true;
    }
  }
  return text.find("\xE2\x80\xA8") != std::string::npos ||
         text.find("\xE2\x80\xA9") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumorel;
  FuzzedDataProvider provider(data, size);
  std::array<std::string, 4> values;
  for (std::string& value : values) value = provider.ConsumeRandomLengthString(64);
  const std::string pageTemplate = provider.ConsumeRemainingBytesAsString();

  for (const std::string& value : values) {
    std::string escaped;
    appendScriptEscaped(escaped, value);
    if (holdsUnsafeByte(escaped)) abort();
    if (escaped.size() < value.size() || escaped.size() > 4 * value.size()) abort();
  }

  std::optional<std::string> formatted =
      formatPage(pageTemplate, {values[0], values[1], values[2], values[3]});
  // A template of safe ASCII stays safe whatever the inserts bring. ("%n"
  // is the one rule that writes a control character of its own.)
  bool safeAscii = pageTemplate.find("%n") == std::string::npos;
  for (char c : pageTemplate) safeAscii = safeAscii && static_cast<unsigned char>(c) < 0x80;
  if (formatted && safeAscii && !holdsUnsafeByte(pageTemplate) && holdsUnsafeByte(*formatted))
    abort();
  if (formatted && pageTemplate.find('%') == std::string::npos && *formatted != pageTemplate)
    abort();
  return 0;
}
