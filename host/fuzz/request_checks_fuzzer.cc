// The host's own parsing of a request: the first visit's address with its
// token, and the Cookie and token headers. Whatever the bytes, no crash, the
// address given back never carries the token, and only the secrets admit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "host/authentication.h"

namespace {

constexpr char kToken[] = "f00dfeed";
constexpr char kCookie[] = "c00k1e5ecret";

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  // Three fields, split at the first two line ends: target, Cookie, token.
  const std::size_t a = input.find('\n');
  const std::string_view target = input.substr(0, a);
  std::string_view rest = a == std::string_view::npos ? "" : input.substr(a + 1);
  const std::size_t b = rest.find('\n');
  const std::string_view cookie = rest.substr(0, b);
  const std::string_view token = b == std::string_view::npos ? "" : rest.substr(b + 1);

  const lumorel::Authentication auth(kToken, kCookie);
  if (auto visit = auth.firstVisit(target)) {
    // No parameter named "token" is left, and nothing was added.
    check(visit->size() < target.size());
    const std::size_t question = visit->find('?');
    if (question != std::string::npos) {
      std::string_view query = std::string_view(*visit).substr(question + 1);
      while (!query.empty()) {
        check(query.substr(0, 6) != "token=");
        const std::size_t amp = query.find('&');
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
      }
    }
  }
  if (auto value = lumorel::cookieValue(cookie, "lumorel-4714")) {
    check(value->data() >= cookie.data() && value->data() + value->size() <= cookie.data() + cookie.size());
  }
  const bool admitted = auth.admits(4714, token, cookie);
  // Only the exact token, or the exact cookie value under this port's name.
  if (admitted) {
    const auto value = lumorel::cookieValue(cookie, "lumorel-4714");
    check(token == kToken || (token.empty() && value && *value == kCookie));
  }
  return 0;
}
