// lumorel-menu-relay: started by the browser (native messaging) for each
// entry of Lumorel's context menu; see menu_relay.h.
#include <unistd.h>

#include <climits>
#include <string>

#include "host/host_announcement.h"
#include "host/menu_relay/menu_relay.h"

namespace {

// The browser host: the program "lumorel" beside this one.
std::string hostBinary() {
  char self[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "lumorel";
  std::string path(self, static_cast<std::size_t>(n));
  return path.substr(0, path.rfind('/') + 1) + "lumorel";
}

}  // namespace

int main() {
  return lumorel::runMenuRelay(STDIN_FILENO, STDOUT_FILENO,
                               {lumorel::announcementFolder(), hostBinary()});
}
