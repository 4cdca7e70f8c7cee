#include "host/menu_relay/host_starter.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <unistd.h>

#include <chrono>
#include <regex>

#include "platform/posix/unique_fd.h"

extern char** environ;

namespace lumorel {
namespace {

constexpr std::chrono::seconds kStartBound{10};

}  // namespace

std::optional<AnnouncedHost> parsePrintedAddress(const std::string& line) {
  static const std::regex kPrinted(
      R"(^(http://127\.0\.0\.1:[0-9]{1,5})/[^?#\s]*\?(?:[^#\s]*&)?token=([A-Za-z0-9_-]{8,128})(?:&[^#\s]*)?$)");
  std::smatch m;
  if (!std::regex_match(line, m, kPrinted)) return std::nullopt;
  return AnnouncedHost{m[1].str(), m[2].str()};
}

std::optional<AnnouncedHost> startHost(const std::string& hostBinary, std::string& error) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error = "cannot make a pipe";
    return std::nullopt;
  }
  UniqueFd reading(fds[0]), writing(fds[1]);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, writing.get(), STDOUT_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Its own session: the host outlives the relay, which the browser ends
  // with the menu's work.
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  char* argv[] = {const_cast<char*>(hostBinary.c_str()), const_cast<char*>("--port"),
                  const_cast<char*>("0"), const_cast<char*>("--no-browser"),
                  const_cast<char*>("--exit-with-pages"), const_cast<char*>("--announce"),
                  nullptr};
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, hostBinary.c_str(), &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  writing = UniqueFd();
  if (failed != 0) {
    error = "cannot start " + hostBinary;
    return std::nullopt;
  }
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + kStartBound;
  while (line.find('\n') == std::string::npos && line.size() < 4096) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{reading.get(), POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[512];
    const ssize_t n = read(reading.get(), buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<std::size_t>(n));
  }
  line = line.substr(0, line.find('\n'));
  std::optional<AnnouncedHost> host = parsePrintedAddress(line);
  if (!host) error = hostBinary + " did not print its address";
  return host;
}

}  // namespace lumorel
