#include "platform/posix/preference_paths.h"

namespace lumorel {
namespace {

bool isAbsolute(const char* path) { return path && path[0] == '/'; }

}  // namespace

std::string preferenceDatabaseFolder(const char* xdgConfigHome, const char* home) {
  if (isAbsolute(xdgConfigHome)) return std::string(xdgConfigHome) + "/lumorel";
  if (isAbsolute(home)) return std::string(home) + "/.config/lumorel";
  return "";
}

std::string valueFileFolder(const char* xdgRuntimeDir, const char* tmpDir, uid_t uid) {
  if (isAbsolute(xdgRuntimeDir)) return std::string(xdgRuntimeDir) + "/lumorel";
  std::string base = isAbsolute(tmpDir) ? tmpDir : "/tmp";
  return base + "/lumorel-" + std::to_string(uid);
}

}  // namespace lumorel
