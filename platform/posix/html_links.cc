#include "platform/posix/html_links.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/posix/web_address.h"

namespace lumorel {
namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// Where `needle` (lowercase) first stands in `text` from `from` on, in any
// case; npos when nowhere.
std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from) {
  if (from > text.size()) return std::string_view::npos;
  auto it =
      std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), needle.begin(),
                  needle.end(), [](char a, char b) { return lowerAscii(a) == b; });
  return it == text.end() ? std::string_view::npos : static_cast<std::size_t>(it - text.begin());
}

void appendUtf8(std::string& out, uint32_t code) {
  // Nothing that is not a character: NUL, surrogates, beyond Unicode.
  if (code == 0 || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = 0xFFFD;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The numeric reference at the start of `text` (after "&#"): its character
// and length, the ';' included when it is there. nullopt without digits.
std::optional<std::pair<uint32_t, std::size_t>> numericReference(std::string_view text) {
  std::size_t i = 0;
  uint32_t base = 10;
  if (!text.empty() && (text[0] == 'x' || text[0] == 'X')) {
    base = 16;
    i = 1;
  }
  const std::size_t digitsBegin = i;
  uint32_t code = 0;
  for (; i < text.size(); ++i) {
    const char c = lowerAscii(text[i]);
    uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else {
      break;
    }
    // Past Unicode it stays past Unicode, without overflowing.
    code = std::min<uint32_t>(code * base + digit, 0x110000);
  }
  if (i == digitsBegin) return std::nullopt;
  if (i < text.size() && text[i] == ';') ++i;
  return std::make_pair(code, i);
}

// `value` with its character references decoded; an '&' that starts none
// stays as it is.
std::string decodeReferences(std::string_view value) {
  static constexpr std::pair<std::string_view, char> kNamed[] = {
      {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < value.size();) {
    if (value[i] != '&') {
      out += value[i++];
      continue;
    }
    std::string_view rest = value.substr(i + 1);
    if (rest.starts_with("#")) {
      if (auto ref = numericReference(rest.substr(1))) {
        appendUtf8(out, ref->first);
        i += 2 + ref->second;
        continue;
      }
    }
    bool named = false;
    for (const auto& [name, c] : kNamed) {
      if (rest.starts_with(name)) {
        out += c;
        i += 1 + name.size();
        named = true;
        break;
      }
    }
    if (!named) out += value[i++];
  }
  return out;
}

// One start tag: its lowercase name and attributes (the first of a name
// counts, as a browser takes it), the values still undecoded.
struct StartTag {
  std::string name;
  std::vector<std::pair<std::string, std::string_view>> attributes;

  std::optional<std::string_view> attribute(std::string_view wanted) const {
    for (const auto& [attributeName, value] : attributes) {
      if (attributeName == wanted) return value;
    }
    return std::nullopt;
  }
};

// Reads the start tag whose name begins at `i`; leaves `i` after its '>'
// (or at the end of the text).
StartTag readStartTag(std::string_view html, std::size_t& i) {
  StartTag tag;
  while (i < html.size() && !isSpace(html[i]) && html[i] != '/' && html[i] != '>') {
    tag.name += lowerAscii(html[i++]);
  }
  while (i < html.size()) {
    while (i < html.size() && (isSpace(html[i]) || html[i] == '/')) ++i;
    if (i >= html.size()) break;
    if (html[i] == '>') {
      ++i;
      break;
    }
    std::string name;
    // A name runs to white space, '/', '>' or '='; a first '=' belongs to it.
    do {
      name += lowerAscii(html[i++]);
    } while (i < html.size() && !isSpace(html[i]) && html[i] != '/' && html[i] != '>' &&
             html[i] != '=');
    while (i < html.size() && isSpace(html[i])) ++i;
    std::string_view value;
    if (i < html.size() && html[i] == '=') {
      ++i;
      while (i < html.size() && isSpace(html[i])) ++i;
      if (i < html.size() && (html[i] == '"' || html[i] == '\'')) {
        const char quote = html[i++];
        std::size_t end = html.find(quote, i);
        if (end == std::string_view::npos) end = html.size();
        value = html.substr(i, end - i);
        i = std::min(end + 1, html.size());
      } else {
        const std::size_t begin = i;
        while (i < html.size() && !isSpace(html[i]) && html[i] != '>') ++i;
        value = html.substr(begin, i - begin);
      }
    }
    if (!tag.attribute(name)) tag.attributes.emplace_back(std::move(name), value);
  }
  return tag;
}

// Elements whose content is text up to their end tag, never tags.
bool holdsOnlyText(std::string_view name) {
  return name == "script" || name == "style" || name == "textarea" || name == "title";
}

// A link found, before it is made absolute.
struct RawLink {
  HtmlLinkKind kind;
  std::string reference;
};

}  // namespace

std::ostream& operator<<(std::ostream& out, const HtmlLink& link) {
  static constexpr const char* kKinds[] = {"anchor", "image", "frame"};
  return out << kKinds[static_cast<int>(link.kind)] << " " << link.address;
}

std::vector<HtmlLink> extractHtmlLinks(std::string_view html, std::string_view pageAddress) {
  std::vector<RawLink> raw;
  std::optional<std::string> base;
  std::size_t i = 0;
  while ((i = html.find('<', i)) != std::string_view::npos) {
    if (html.substr(i).starts_with("<!--")) {
      std::size_t end = html.find("-->", i + 4);
      i = end == std::string_view::npos ? html.size() : end + 3;
      continue;
    }
    if (i + 1 >= html.size() || !isAlpha(html[i + 1])) {
      // An end tag, a declaration or a lone '<': nothing here is a link.
      ++i;
      continue;
    }
    ++i;
    StartTag tag = readStartTag(html, i);
    auto take = [&](const char* attribute, HtmlLinkKind kind) {
      if (auto value = tag.attribute(attribute)) raw.push_back({kind, decodeReferences(*value)});
    };
    if (tag.name == "a" || tag.name == "area") {
      take("href", HtmlLinkKind::kAnchor);
    } else if (tag.name == "img") {
      take("src", HtmlLinkKind::kImage);
    } else if (tag.name == "frame" || tag.name == "iframe") {
      take("src", HtmlLinkKind::kFrame);
    } else if (tag.name == "base" && !base) {
      if (auto href = tag.attribute("href")) base = decodeReferences(*href);
    } else if (holdsOnlyText(tag.name)) {
      std::size_t end = findNoCase(html, "</" + tag.name, i);
      i = end == std::string_view::npos ? html.size() : end;
    }
  }

  // The base applies to every link of the page, even those before it.
  std::string resolvedBase(pageAddress);
  if (base) {
    if (auto address = resolveWebAddress(pageAddress, *base)) resolvedBase = std::move(*address);
  }
  std::vector<HtmlLink> links;
  for (RawLink& link : raw) {
    // An empty reference would be the page itself: not a link.
    if (link.reference.find_first_not_of(" \t\n\f\r") == std::string::npos) continue;
    if (auto address = resolveWebAddress(resolvedBase, link.reference)) {
      links.push_back({link.kind, std::move(*address)});
    }
  }
  return links;
}

}  // namespace lumorel
