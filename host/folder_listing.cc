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

std::string_view folderProblemName(FolderProblem problem) {
  switch (problem) {
    case FolderProblem::kMissing:
      return "missing";
    case FolderProblem::kNotAFolder:
      return "notFolder";
    case FolderProblem::kUnreadable:
      return "unreadable";
  }
  return "missing";
}

FolderProblem whyUnlisted(FileSystem& fs, std::string_view folder) {
  std::string path(folder);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.empty() || path.find('\0') != std::string::npos || !fs.exists(path.c_str()))
    return FolderProblem::kMissing;
  // The file system tells an entry's kind in its folder's listing.
  const std::size_t cut = path.rfind('/');
  if (cut == std::string::npos) return FolderProblem::kMissing;
  const std::string parent = path.substr(0, cut + 1);
  const std::string name = path.substr(cut + 1);
  std::optional<EntryKind> kind;
  const bool listed = fs.listFolder(parent.c_str(), [&](const FolderEntry& entry) {
    if (entry.name() == name) kind = entry.kind();
  });
  // A parent that cannot be listed hides the kind: something is there, and
  // it cannot be read.
  if (!listed || !kind || *kind == EntryKind::kFolder) return FolderProblem::kUnreadable;
  return FolderProblem::kNotAFolder;
}

std::optional<std::string> resolveFolderPath(std::string_view typed, std::string_view current,
                                             std::string_view home) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const std::size_t first = typed.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return std::nullopt;
  typed = typed.substr(first, typed.find_last_not_of(kBlanks) - first + 1);
  if (typed.find('\0') != std::string_view::npos) return std::nullopt;
  std::string whole;
  if (typed.front() == '/') {
    whole = std::string(typed);
  } else if (typed == "~" || typed.substr(0, 2) == "~/") {
    if (home.empty() || home.front() != '/') return std::nullopt;
    whole = std::string(home) + "/" + std::string(typed.substr(1));
  } else {
    if (current.empty() || current.front() != '/') return std::nullopt;
    whole = std::string(current) + "/" + std::string(typed);
  }
  if (whole.find('\0') != std::string::npos) return std::nullopt;
  std::vector<std::string_view> steps;
  std::string_view rest = whole;
  while (!rest.empty()) {
    const std::size_t end = rest.find('/');
    const std::string_view step = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (step.empty() || step == ".") continue;
    if (step == "..") {
      if (!steps.empty()) steps.pop_back();
      continue;
    }
    steps.push_back(step);
  }
  std::string path = "/";
  for (std::string_view step : steps) {
    path.append(step);
    path.push_back('/');
  }
  return path;
}

std::string startingFolder(FileSystem& fs, std::string_view requested, std::string_view home) {
  auto listable = [&](const std::string& folder) {
    return fs.listFolder(folder.c_str(), [](const FolderEntry&) {});
  };
  std::optional<std::string> folder = resolveFolderPath(requested, "", home);
  if (folder) {
    while (!listable(*folder) && *folder != "/")
      folder->erase(folder->find_last_of('/', folder->size() - 2) + 1);
    if (listable(*folder)) return *folder;
  }
  std::optional<std::string> homeFolder = resolveFolderPath(home, "", "");
  if (homeFolder && listable(*homeFolder)) return *homeFolder;
  return "/";
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

bool isMountPoint(std::string_view mounts, std::string_view folder) {
  if (folder.empty() || folder.front() != '/') return false;
  const std::string wanted = withSeparator(std::string(folder));
  if (wanted == "/") return true;
  std::istringstream lines{std::string(mounts)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, where;
    if (!(fields >> device >> where)) continue;
    if (withSeparator(unescapeMountPath(where)) == wanted) return true;
  }
  return false;
}

std::string readMounts() {
  std::ifstream file("/proc/self/mounts");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::vector<std::string> startingPlaces(const char* home) {
  std::vector<std::string> places;
  auto add = [&](std::string path) {
    path = withSeparator(std::move(path));
    if (std::find(places.begin(), places.end(), path) == places.end()) places.push_back(path);
  };
  add("/");
  if (home && home[0] == '/') add(home);
  for (std::string& point : mountPoints(readMounts())) add(std::move(point));
  return places;
}

}  // namespace lumorel
