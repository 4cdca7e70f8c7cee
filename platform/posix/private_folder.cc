#include "platform/posix/private_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace lumorel {

UniqueFd openPrivateFolder(const std::string& path) {
  if (path.empty()) return UniqueFd();
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return UniqueFd();
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) return UniqueFd();
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid())
    return UniqueFd();
  if ((st.st_mode & 077) != 0 && fchmod(fd.get(), 0700) != 0) return UniqueFd();
  return fd;
}

UniqueFd openPrivateFolderMakingParents(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    // Folders on the way that exist already are left as they are.
    mkdir(path.substr(0, slash).c_str(), 0700);
  }
  return openPrivateFolder(path);
}

bool isPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

bool replaceFile(int folderFd, const char* name, const char* partialName, std::string_view text) {
  UniqueFd fd(
      openat(folderFd, partialName, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
  bool ok = fd.valid();
  while (ok && !text.empty()) {
    ssize_t wrote = write(fd.get(), text.data(), text.size());
    if (wrote < 0 && errno == EINTR) continue;
    ok = wrote > 0;
    if (ok) text.remove_prefix(static_cast<std::size_t>(wrote));
  }
  ok = fd.close() && ok && renameat(folderFd, partialName, folderFd, name) == 0;
  if (!ok) unlinkat(folderFd, partialName, 0);
  return ok;
}

}  // namespace lumorel
