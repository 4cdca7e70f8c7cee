#include "protocol/protocol_info.h"

#include <cstring>

#include "protocol/pair_scanner.h"
#include "protocol/protocol_codes.h"

namespace lumorel {
namespace {

// Gives `text` to the caller as ParseUrl does.
HResult deliver(std::u16string_view text, char16_t* result, uint32_t resultSize,
                uint32_t* resultLength) {
  if (resultLength) *resultLength = static_cast<uint32_t>(text.size());
  if (!result || resultSize < text.size() + 1) return kErrorInsufficientBuffer;
  std::copy(text.begin(), text.end(), result);
  result[text.size()] = u'\0';
  return kSOk;
}

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

}  // namespace

std::optional<std::u16string> findParameter1(std::u16string_view url) {
  if (url.size() < 4 || url[3] != u'&') return std::nullopt;
  PairScanner<char16_t> scanner(url.substr(4), kMaxParseValueLength);
  for (ScanResult step = scanner.next(); step != ScanResult::kEnd; step = scanner.next()) {
    if (step == ScanResult::kPair && selectKeyword(scanner.key()) == Keyword::kInsert1)
      return std::u16string(scanner.value());
  }
  return std::nullopt;
}

std::optional<UrlSite> splitUrl(std::u16string_view text) {
  enum class State { kCollect, kPort, kSlash };
  State state = State::kCollect;
  std::u16string collect, scheme;
  int portDigits = 0;
  for (char16_t c : text) {
    bool done = false;
    switch (state) {
      case State::kCollect:
        if (c == u':') {
          state = State::kPort;
        } else if (c == u'/') {
          done = true;
        } else {
          if (collect.size() == kMaxHostLength) return std::nullopt;
          collect.push_back(c);
        }
        break;
      case State::kPort:
        if (portDigits == 10) return std::nullopt;
        if (c >= u'0' && c <= u'9') {
          ++portDigits;
        } else if (c == u')' || c == u'/') {
          if (portDigits > 0) {
            done = true;
          } else {
            state = State::kSlash;
          }
        }
        break;  // "(" and anything else: ignored
      case State::kSlash:
        if (scheme.size() + collect.size() > kMaxSchemeLength) return std::nullopt;
        scheme += collect;
        collect.clear();
        if (c == u'/') {
          state = State::kCollect;
        } else {
          if (scheme.size() == kMaxSchemeLength) return std::nullopt;
          scheme.push_back(c);
        }
        break;
    }
    if (done) break;
  }
  if (collect.empty()) return std::nullopt;
  return UrlSite{std::move(scheme), std::move(collect)};
}

std::optional<std::u16string> friendlyText(std::u16string_view value) {
  std::u16string text;
  for (char16_t c : value) {
    if (c == u'/') break;
    if (!isAsciiLetter(c)) continue;
    if (text.size() == 4) return std::nullopt;
    text.push_back(c);
  }
  if (text.empty()) return std::nullopt;
  return text;
}

HResult ParseUrl(std::u16string_view url, uint32_t action, uint32_t /*flags*/, char16_t* result,
                 uint32_t resultSize, uint32_t* resultLength) {
  switch (action) {
    case kParseFriendly: {
      std::optional<std::u16string> value = findParameter1(url);
      std::optional<std::u16string> friendly = value ? friendlyText(*value) : std::nullopt;
      return deliver(friendly ? *friendly : u"Lumorel", result, resultSize, resultLength);
    }
    case kParseSecurityUrl: {
      std::optional<std::u16string> value = findParameter1(url);
      std::optional<UrlSite> site = value ? splitUrl(*value) : std::nullopt;
      if (!site) return deliver(u"http:", result, resultSize, resultLength);
      return deliver(site->scheme + u"://" + site->host + u"/", result, resultSize, resultLength);
    }
    case kParseDomain:
    case kParseSecurityDomain: {
      std::optional<std::u16string> value = findParameter1(url);
      std::optional<UrlSite> site = value ? splitUrl(*value) : std::nullopt;
      return deliver(site ? site->host : u"local", result, resultSize, resultLength);
    }
    default:
      return kInetEDefaultAction;
  }
}

HResult CombineUrl(std::u16string_view, std::u16string_view, uint32_t, char16_t*, uint32_t,
                   uint32_t*) {
  return kInetEDefaultAction;
}

HResult CompareUrl(std::u16string_view, std::u16string_view, uint32_t) {
  return kInetEDefaultAction;
}

HResult QueryInfo(std::u16string_view /*url*/, uint32_t option, uint32_t /*flags*/, void* buffer,
                  uint32_t bufferSize, uint32_t* sizeOut) {
  uint32_t answer;
  switch (option) {
    case kQueryRefresh:
    case kQueryCanNavigate:
    case kQueryIsInstalledEntry:
    case kQueryIsCachedOrMapped:
      answer = 1;
      break;
    case kQueryUsesNetwork:
    case kQueryIsCached:
    case kQueryUsesCache:
      answer = 0;
      break;
    default:
      if (sizeOut) *sizeOut = 0;
      return kInetEDefaultAction;
  }
  if (!buffer || !sizeOut || bufferSize < sizeof answer) return kEInvalidArg;
  std::memcpy(buffer, &answer, sizeof answer);
  *sizeOut = sizeof answer;
  return kSOk;
}

}  // namespace lumorel
