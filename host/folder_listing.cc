#include "host/folder_listing.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/file_system.h"

namespace lumorel {
namespace {

// File systems that hold no pictures of the user's.
const std::set<std::string, std::less<>> kPseudo = {
    "proc",      "sysfs",  "cgroup",   "cgroup2",  "devpts",     "mqueue",     "debugfs",
    "tracefs",   "securityfs", "pstore", "bpf",    "autofs",     "configfs",   "fusectl",
    "hugetlbfs", "binfmt_misc", "devtmpfs", "rpc_pipefs", "nsfs", "efivarfs", "selinuxfs",
    "overlay",   "shm"};

std::string unescapeMountPath(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() + 0 && text[i + 1] >= '0' && text[i + 1] <= '3' &&
        text[i + 2] >= '0' && text[i + 2] <= '7' && text[i + 3] >= '0' && text[i + 3] <= '7') {
      out.push_back(static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                      (text[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string withSeparator(std::string path) {
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

}  // namespace

std::optional<std::vector<std::string>> listFolders(FileSystem& fs, std::string_view folder) {
  if (folder.empty() || folder.front() != '/' || folder.find('\0') != std::string_view::npos)
    return std::nullopt;
  const std::string path = withSeparator(std::string(folder));
  std::vector<std::string> names;
  const bool listed = fs.listFolder(path.c_str(), [&](const FolderEntry& entry) {
    if (entry.kind() != EntryKind::kFolder) return;
    if (entry.name() == "." || entry.name() == "..") return;
    names.emplace_back(entry.name());
  });
  if (!listed) return std::nullopt;
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> mountPoints(std::string_view mounts) {
  std::vector<std::string> points;
  std::istringstream lines{std::string(mounts)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, where, type;
    if (!(fields >> device >> where >> type)) continue;
    if (kPseudo.count(type) != 0) continue;
    std::string path = unescapeMountPath(where);
    if (path.empty() || path.front() != '/') continue;
    if (std::find(points.begin(), points.end(), path) == points.end()) points.push_back(path);
  }
  auto root = std::find(points.begin(), points.end(), "/");
  if (root != points.end()) points.erase(root);
  points.insert(points.begin(), "/");
  return points;
}

std::vector<std::string> startingPlaces(const char* home) {
  std::vector<std::string> places;
  auto add = [&](std::string path) {
    path = withSeparator(std::move(path));
    if (std::find(places.begin(), places.end(), path) == places.end()) places.push_back(path);
  };
  add("/");
  if (home && home[0] == '/') add(home);
  std::ifstream file("/proc/self/mounts");
  std::stringstream text;
  text << file.rdbuf();
  for (std::string& point : mountPoints(text.str())) add(std::move(point));
  return places;
}

}  // namespace lumorel
