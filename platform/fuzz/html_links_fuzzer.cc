// Any bytes as a web page: every link found is a clean absolute http or
// https address, which resolves to itself again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/posix/html_links.h"
#include "platform/posix/web_address.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumorel;
  const std::string_view html(reinterpret_cast<const char*>(data), size);
  for (const HtmlLink& link : extractHtmlLinks(html, "http://example.com/dir/page.html?q=1")) {
    const std::string& address = link.address;
    if (!address.starts_with("http://") && !address.starts_with("https://")) abort();
    for (char c : address) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte <= 0x20 || byte >= 0x7f || c == '#') abort();
    }
    if (webAddressHost(address).empty()) abort();
    if (resolveWebAddress(address, address) != address) abort();
  }
  return 0;
}
