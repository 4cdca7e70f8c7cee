#include "host/desktop/mime_defaults.h"

#include <vector>

namespace lumorel {
namespace {

constexpr std::string_view kGroup = "[Default Applications]";

std::vector<std::string> linesOf(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text.append(line).append("\n");
  return text;
}

bool isGroupHeader(const std::string& line) { return !line.empty() && line.front() == '['; }

// The key of a "key=value" line, without the blanks around it; empty for
// any other line.
std::string_view keyOf(std::string_view line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos || line.starts_with('#')) return {};
  std::string_view key = line.substr(0, equals);
  while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.remove_suffix(1);
  return key;
}

// Where each line of the default group is: [first, end) of the lines after
// its header; first == end == npos when there is no such group.
struct GroupSpan {
  std::size_t header = std::string::npos;
  std::size_t end = std::string::npos;
};

GroupSpan defaultGroup(const std::vector<std::string>& lines) {
  GroupSpan span;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (span.header == std::string::npos) {
      if (lines[i] == kGroup) span.header = i;
    } else if (isGroupHeader(lines[i])) {
      span.end = i;
      return span;
    }
  }
  if (span.header != std::string::npos) span.end = lines.size();
  return span;
}

}  // namespace

std::string withDefaultApplication(std::string_view text, std::string_view mimeType,
                                   std::string_view desktopFile) {
  std::vector<std::string> lines = linesOf(text);
  const std::string line = std::string(mimeType) + "=" + std::string(desktopFile) + ";";
  const GroupSpan group = defaultGroup(lines);
  if (group.header == std::string::npos) {
    if (!lines.empty() && !lines.back().empty()) lines.emplace_back();
    lines.emplace_back(kGroup);
    lines.push_back(line);
    return joined(lines);
  }
  for (std::size_t i = group.header + 1; i < group.end; ++i) {
    if (keyOf(lines[i]) == mimeType) {
      lines[i] = line;
      return joined(lines);
    }
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(group.header) + 1, line);
  return joined(lines);
}

std::string withoutDefaultApplication(std::string_view text, std::string_view mimeType,
                                      std::string_view desktopFile) {
  std::vector<std::string> lines = linesOf(text);
  const GroupSpan group = defaultGroup(lines);
  if (group.header == std::string::npos) return std::string(text);
  for (std::size_t i = group.header + 1; i < group.end; ++i) {
    if (keyOf(lines[i]) != mimeType) continue;
    const std::string_view value = std::string_view(lines[i]).substr(lines[i].find('=') + 1);
    std::string kept;
    bool found = false;
    std::size_t start = 0;
    while (start < value.size()) {
      std::size_t end = value.find(';', start);
      if (end == std::string_view::npos) end = value.size();
      const std::string_view app = value.substr(start, end - start);
      if (app == desktopFile) {
        found = true;
      } else if (!app.empty()) {
        kept.append(app).append(";");
      }
      start = end + 1;
    }
    if (!found) return std::string(text);
    if (kept.empty()) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      lines[i] = std::string(mimeType) + "=" + kept;
    }
    return joined(lines);
  }
  return std::string(text);
}

}  // namespace lumorel
