#include "host/authentication.h"

#include <vector>

namespace lumorel {
namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A query parameter's value with its percent escapes (and '+') decoded.
std::string decoded(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && i + 2 < value.size() && hexValue(value[i + 1]) >= 0 &&
        hexValue(value[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hexValue(value[i + 1]) * 16 + hexValue(value[i + 2])));
      i += 2;
    } else {
      out.push_back(value[i] == '+' ? ' ' : value[i]);
    }
  }
  return out;
}

}  // namespace

bool sameSecret(std::string_view given, std::string_view secret) {
  if (secret.empty()) return false;
  unsigned char diff = given.size() == secret.size() ? 0 : 1;
  for (std::size_t i = 0; i < given.size(); ++i)
    diff |= static_cast<unsigned char>(given[i] ^ secret[i % secret.size()]);
  return diff == 0;
}

std::optional<std::string_view> cookieValue(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    const std::size_t end = header.find(';');
    const std::string_view pair = trimmed(header.substr(0, end));
    const std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos && trimmed(pair.substr(0, equals)) == name)
      return trimmed(pair.substr(equals + 1));
    if (end == std::string_view::npos) break;
    header.remove_prefix(end + 1);
  }
  return std::nullopt;
}

Authentication::Authentication(std::string token, std::string cookieSecret)
    : token_(std::move(token)), cookieSecret_(std::move(cookieSecret)) {}

std::string Authentication::cookieName(uint16_t port) {
  return "lumorel-" + std::to_string(port);
}

bool Authentication::admits(uint16_t port, std::string_view tokenHeader,
                            std::string_view cookieHeader) const {
  if (!tokenHeader.empty()) return sameSecret(tokenHeader, token_);
  const std::optional<std::string_view> cookie = cookieValue(cookieHeader, cookieName(port));
  return cookie && sameSecret(*cookie, cookieSecret_);
}

std::optional<std::string> Authentication::firstVisit(std::string_view target) const {
  const std::size_t question = target.find('?');
  if (question == std::string_view::npos) return std::nullopt;
  std::string_view query = target.substr(question + 1);
  const std::size_t hash = query.find('#');
  if (hash != std::string_view::npos) query = query.substr(0, hash);
  bool found = false;
  std::vector<std::string_view> kept;
  while (true) {
    const std::size_t end = query.find('&');
    const std::string_view pair = query.substr(0, end);
    if (pair.substr(0, 6) == "token=") {
      // A wrong token in the address admits nobody.
      if (!sameSecret(decoded(pair.substr(6)), token_)) return std::nullopt;
      found = true;
    } else if (!pair.empty()) {
      kept.push_back(pair);
    }
    if (end == std::string_view::npos) break;
    query.remove_prefix(end + 1);
  }
  if (!found) return std::nullopt;
  std::string rest(target.substr(0, question));
  for (std::size_t i = 0; i < kept.size(); ++i) {
    rest.push_back(i == 0 ? '?' : '&');
    rest.append(kept[i]);
  }
  return rest;
}

std::string Authentication::cookieFor(uint16_t port) const {
  return cookieName(port) + "=" + cookieSecret_ + "; HttpOnly; SameSite=Strict; Path=/";
}

}  // namespace lumorel
