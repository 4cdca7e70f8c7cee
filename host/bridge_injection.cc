#include "host/bridge_injection.h"

#include <optional>

namespace lumorel {
namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The name of the start tag at `page[at]` ("<name ..."), lower case; empty
// when none starts there.
std::string tagNameAt(std::string_view page, std::size_t at) {
  if (at + 1 >= page.size() || page[at] != '<' || !isLetter(page[at + 1])) return "";
  std::string name;
  for (std::size_t i = at + 1; i < page.size(); ++i) {
    const char c = page[i];
    if (c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f')
      break;
    name.push_back(lower(c));
  }
  return name;
}

}  // namespace

std::string bridgeElement() { return "<script src=\"/.lumorel/bridge.js\"></script>"; }

std::string injectBridge(std::string_view page, std::string_view element) {
  std::optional<std::size_t> firstTag;
  std::optional<std::size_t> afterHead;
  for (std::size_t i = 0; i < page.size(); ++i) {
    if (page[i] != '<') continue;
    if (page.compare(i, 4, "<!--") == 0) {
      const std::size_t end = page.find("-->", i + 4);
      if (end == std::string_view::npos) break;
      i = end + 2;
      continue;
    }
    const std::string name = tagNameAt(page, i);
    if (name.empty()) continue;
    if (!firstTag) firstTag = i;
    if (name == "head") {
      const std::size_t close = page.find('>', i);
      if (close != std::string_view::npos) afterHead = close + 1;
      break;
    }
  }
  const std::size_t at = afterHead ? *afterHead : firstTag.value_or(0);
  std::string out;
  out.reserve(page.size() + element.size());
  out.append(page.substr(0, at));
  out.append(element);
  out.append(page.substr(at));
  return out;
}

}  // namespace lumorel
