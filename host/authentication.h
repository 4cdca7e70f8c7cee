// Who may use the host: the holder of the run's secret. The address the
// host prints carries the token; the first visit with it trades it for a
// cookie (so the token leaves the address bar, the history and every page),
// and from then on each request carries the cookie or, from scripts and
// tests, the token in the "X-Lumorel-Token" header.
#ifndef LUMOREL_HOST_AUTHENTICATION_H_
#define LUMOREL_HOST_AUTHENTICATION_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumorel {

// Thread safety: immutable after construction; any thread.
class Authentication {
 public:
  // `token` is the run's token; `cookieSecret` the cookie's value, a
  // secret of this host's own (never the token, which may have been given
  // on a command line that other users can read).
  Authentication(std::string token, std::string cookieSecret);

  // True when the request holds the secret: `tokenHeader` (the value of
  // "X-Lumorel-Token") is the token, or `cookieHeader` (the value of
  // "Cookie") gives the cookie of the host on `port` its value.
  bool admits(uint16_t port, std::string_view tokenHeader, std::string_view cookieHeader) const;

  // For a first visit: when the query of `target` (a request target such as
  // "/lm:main?token=...") holds the parameter "token" with the token, the
  // target without that parameter (and without the '?' when nothing is
  // left); otherwise nullopt.
  std::optional<std::string> firstVisit(std::string_view target) const;

  // The value of the "Set-Cookie" header that lets a browser in on `port`:
  // HttpOnly, SameSite=Strict, for every path. The name carries the port,
  // since browsers share the cookies of one address among all its ports.
  std::string cookieFor(uint16_t port) const;

  static std::string cookieName(uint16_t port);

 private:
  const std::string token_;
  const std::string cookieSecret_;
};

// Compares without stopping at the first difference, so the time taken
// tells nothing about the secret.
bool sameSecret(std::string_view given, std::string_view secret);

// The value of the cookie `name` in a "Cookie" header value; nullopt when
// there is none.
std::optional<std::string_view> cookieValue(std::string_view header, std::string_view name);

}  // namespace lumorel

#endif  // LUMOREL_HOST_AUTHENTICATION_H_
