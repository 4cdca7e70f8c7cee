#include "platform/posix/web_address.h"

namespace lumorel {
namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

bool mustBeEncoded(unsigned char c) {
  return c <= 0x20 || c >= 0x7f || c == '"' || c == '<' || c == '>' || c == '`' || c == '\\';
}

// `text` trimmed, without tabs and line breaks and fragment, '\' before the
// query as '/', and the bytes that may not stand in an address encoded.
std::string clean(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  bool inQuery = false;
  for (char c : text) {
    if (c == '#') break;
    if (c == '\t' || c == '\n' || c == '\r') continue;
    if (c == '?') inQuery = true;
    if (c == '\\' && !inQuery) c = '/';
    const auto byte = static_cast<unsigned char>(c);
    if (mustBeEncoded(byte)) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
    } else {
      out += c;
    }
  }
  return out;
}

// The parts of a cleaned address or reference; the fragment is gone.
struct AddressParts {
  std::string scheme;  // lowercased; empty when there is none
  bool hasAuthority = false;
  std::string authority;
  std::string path;
  bool hasQuery = false;
  std::string query;
};

AddressParts parse(std::string_view s) {
  AddressParts parts;
  std::size_t i = 0;
  if (!s.empty() && isAlpha(s[0])) {
    std::size_t j = 1;
    while (j < s.size() &&
           (isAlpha(s[j]) || isDigit(s[j]) || s[j] == '+' || s[j] == '-' || s[j] == '.')) {
      ++j;
    }
    if (j < s.size() && s[j] == ':') {
      parts.scheme = lowerAscii(s.substr(0, j));
      i = j + 1;
    }
  }
  if (s.substr(i, 2) == "//") {
    parts.hasAuthority = true;
    std::size_t end = s.find_first_of("/?", i + 2);
    if (end == std::string_view::npos) end = s.size();
    parts.authority = std::string(s.substr(i + 2, end - i - 2));
    i = end;
  }
  std::size_t query = s.find('?', i);
  parts.path = std::string(s.substr(i, query == std::string_view::npos ? query : query - i));
  if (query != std::string_view::npos) {
    parts.hasQuery = true;
    parts.query = std::string(s.substr(query + 1));
  }
  return parts;
}

// Drops the last segment of `out` and the '/' before it.
void dropLastSegment(std::string& out) {
  std::size_t slash = out.rfind('/');
  out.erase(slash == std::string::npos ? 0 : slash);
}

// `path` with its "." and ".." segments resolved; ".." at the root stays
// at the root.
std::string removeDotSegments(std::string_view path) {
  std::string in(path), out;
  while (!in.empty()) {
    if (in.starts_with("../")) {
      in.erase(0, 3);
    } else if (in.starts_with("./")) {
      in.erase(0, 2);
    } else if (in.starts_with("/./")) {
      in.erase(0, 2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.starts_with("/../")) {
      in.erase(0, 3);
      dropLastSegment(out);
    } else if (in == "/..") {
      in = "/";
      dropLastSegment(out);
    } else if (in == "." || in == "..") {
      in.clear();
    } else {
      std::size_t end = in.find('/', 1);
      if (end == std::string::npos) end = in.size();
      out.append(in, 0, end);
      in.erase(0, end);
    }
  }
  return out;
}

// The relative `path` taken in the folder of `base`.
std::string merge(const AddressParts& base, const std::string& path) {
  if (base.hasAuthority && base.path.empty()) return "/" + path;
  std::size_t slash = base.path.rfind('/');
  return slash == std::string::npos ? path : base.path.substr(0, slash + 1) + path;
}

// Where the host stands in `authority`: after any user name, before any port.
std::pair<std::size_t, std::size_t> hostSpan(std::string_view authority) {
  std::size_t at = authority.rfind('@');
  std::size_t begin = at == std::string_view::npos ? 0 : at + 1;
  std::size_t end;
  if (begin < authority.size() && authority[begin] == '[') {
    end = authority.find(']', begin);
    end = end == std::string_view::npos ? authority.size() : end + 1;
  } else {
    end = authority.find(':', begin);
    if (end == std::string_view::npos) end = authority.size();
  }
  return {begin, end};
}

}  // namespace

std::optional<std::string> resolveWebAddress(std::string_view base, std::string_view reference) {
  const AddressParts ref = parse(clean(reference));
  AddressParts target;
  if (!ref.scheme.empty()) {
    target = ref;
    target.path = removeDotSegments(ref.path);
  } else {
    const AddressParts from = parse(clean(base));
    if (from.scheme.empty()) return std::nullopt;
    target.scheme = from.scheme;
    if (ref.hasAuthority) {
      target.hasAuthority = true;
      target.authority = ref.authority;
      target.path = removeDotSegments(ref.path);
      target.hasQuery = ref.hasQuery;
      target.query = ref.query;
    } else {
      target.hasAuthority = from.hasAuthority;
      target.authority = from.authority;
      if (ref.path.empty()) {
        target.path = from.path;
        target.hasQuery = ref.hasQuery || from.hasQuery;
        target.query = ref.hasQuery ? ref.query : from.query;
      } else {
        target.path = removeDotSegments(ref.path.front() == '/' ? ref.path : merge(from, ref.path));
        target.hasQuery = ref.hasQuery;
        target.query = ref.query;
      }
    }
  }
  if (target.scheme != "http" && target.scheme != "https") return std::nullopt;
  if (!target.hasAuthority) return std::nullopt;
  auto [hostBegin, hostEnd] = hostSpan(target.authority);
  if (hostBegin == hostEnd) return std::nullopt;
  for (std::size_t i = hostBegin; i < hostEnd; ++i) {
    target.authority[i] = lowerAscii(target.authority[i]);
  }
  if (target.path.empty()) target.path = "/";
  std::string out = target.scheme + "://" + target.authority + target.path;
  if (target.hasQuery) out += "?" + target.query;
  return out;
}

std::string webAddressHost(std::string_view address) {
  const AddressParts parts = parse(address);
  if (!parts.hasAuthority) return "";
  auto [begin, end] = hostSpan(parts.authority);
  return lowerAscii(std::string_view(parts.authority).substr(begin, end - begin));
}

bool hasWebScheme(std::string_view url) {
  auto startsWith = [url](std::string_view prefix) {
    if (url.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
      char c = url[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != prefix[i]) return false;
    }
    return true;
  };
  return startsWith("http://") || startsWith("https://");
}

}  // namespace lumorel
