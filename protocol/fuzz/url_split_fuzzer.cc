// Any UTF-16 text as parameter "1": the split and every ParseUrl answer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol/protocol_codes.h"
#include "protocol/protocol_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumorel;
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));

  if (std::optional<UrlSite> site = splitUrl(text)) {
    if (site->host.empty() || site->host.size() > kMaxHostLength ||
        site->scheme.size() > kMaxSchemeLength)
      abort();
  }

  const std::u16string url = u"lm:&1=" + text;
  const uint32_t small = size > 0 ? data[0] % 8 : 0;
  for (uint32_t action : {kParseFriendly, kParseSecurityUrl, kParseDomain, kParseSecurityDomain}) {
    char16_t buffer[300];
    uint32_t length = 0;
    if (ParseUrl(url, action, 0, buffer, 300, &length) != kSOk) abort();
    if (length >= 300 || buffer[length] != u'\0') abort();
    uint32_t needed = 0;
    HResult hr = ParseUrl(url, action, 0, buffer, small, &needed);
    if (needed != length || (hr == kSOk) != (small > length)) abort();
  }
  return 0;
}
