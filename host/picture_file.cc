#include "host/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace lumorel {

std::optional<PictureFile> identifyPicture(const std::string& path) {
  if (path.empty() || path.front() != '/') return std::nullopt;
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                      &std::free);
  if (!resolved) return std::nullopt;
  struct stat st;
  if (::lstat(resolved.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return PictureFile{resolved.get(), st.st_dev, st.st_ino};
}

UniqueFd openPicture(const PictureFile& picture, off_t& size) {
  const std::string& path = picture.resolved;
  if (path.empty() || path.front() != '/') return UniqueFd();
  // One component at a time, each opened relative to its folder with
  // O_NOFOLLOW: a link anywhere in the path ends the walk.
  UniqueFd folder(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  std::size_t start = 1;
  while (folder.valid()) {
    const std::size_t end = path.find('/', start);
    const std::string name = path.substr(start, end == std::string::npos ? end : end - start);
    if (name.empty() || name == "." || name == "..") return UniqueFd();
    if (end == std::string::npos) {
      UniqueFd file(::openat(folder.get(), name.c_str(),
                             O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
      struct stat st;
      if (!file.valid() || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
          st.st_dev != picture.device || st.st_ino != picture.inode)
        return UniqueFd();
      size = st.st_size;
      return file;
    }
    UniqueFd next(::openat(folder.get(), name.c_str(),
                           O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    // O_PATH with O_NOFOLLOW would open a link itself; only a folder goes on.
    if (!next.valid() || ::fstat(next.get(), &st) != 0 || !S_ISDIR(st.st_mode)) return UniqueFd();
    folder = std::move(next);
    start = end + 1;
  }
  return UniqueFd();
}

}  // namespace lumorel
