#include "host/browser_launch.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "platform/posix/private_folder.h"
#include "platform/posix/unique_fd.h"

extern char** environ;

namespace lumorel {
namespace {

// `text` as the value of an HTML attribute in double quotes.
std::string attributeText(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '"': escaped += "&quot;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      default: escaped.push_back(c);
    }
  }
  return escaped;
}

}  // namespace

std::string launchPageText(const std::string& address) {
  const std::string target = attributeText(address);
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
         "<meta http-equiv=\"refresh\" content=\"0;url=" + target + "\">\n"
         "<title>Lumorel</title></head>\n"
         "<body><p><a href=\"" + target + "\">Open Lumorel</a></p></body></html>\n";
}

std::optional<std::string> writeLaunchPage(const std::string& folder, const std::string& address,
                                           std::string& error) {
  UniqueFd dir = openPrivateFolderMakingParents(folder);
  if (!dir.valid()) {
    error = "cannot use the folder " + folder;
    return std::nullopt;
  }
  const std::string partial = std::string(kLaunchPageName) + "." + std::to_string(getpid());
  if (!replaceFile(dir.get(), kLaunchPageName, partial.c_str(), launchPageText(address))) {
    error = "cannot write " + folder + "/" + kLaunchPageName;
    return std::nullopt;
  }
  return folder + "/" + kLaunchPageName;
}

namespace {

// Starts xdg-open on `target`, its output dropped; false when it is not
// installed.
bool spawnXdgOpen(const std::string& target, pid_t& pid) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(target.c_str()), nullptr};
  const int failed = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0;
}

}  // namespace

void openInBrowser(const std::string& target, const std::string& fallback) {
  std::thread([target, fallback] {
    pid_t pid = 0;
    int status = 0;
    if (!spawnXdgOpen(target, pid)) {
      std::fprintf(stderr, "lumorel: xdg-open is not installed; open %s in a browser\n",
                   fallback.c_str());
    } else if (waitpid(pid, &status, 0) == pid && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
      std::fprintf(stderr, "lumorel: no browser could be opened; open %s in a browser\n",
                   fallback.c_str());
    }
  }).detach();
}

bool startBrowser(const std::string& target) {
  pid_t pid = 0;
  return spawnXdgOpen(target, pid);
}

}  // namespace lumorel
