// The local picture files the host serves to pages: which file a picture
// text stood for when the control handed it out, and opening that same file
// again later without following a link anywhere in its path.
#ifndef LUMOREL_HOST_PICTURE_FILE_H_
#define LUMOREL_HOST_PICTURE_FILE_H_

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/posix/unique_fd.h"

namespace lumorel {

// A regular file as it was when a control handed it out.
struct PictureFile {
  std::string resolved;  // its path with every link resolved, as then
  dev_t device = 0;
  ino_t inode = 0;
};

// The regular file at `path` (absolute) now, with its links resolved once:
// a folder the user reached through a link stays reachable. nullopt when
// nothing, or something other than a regular file, is there.
std::optional<PictureFile> identifyPicture(const std::string& path);

// Opens `picture` for reading when its resolved path still leads, through
// no link at all, to the same regular file (same device and inode): a
// folder or file replaced since by a link or by another file is refused.
// An invalid descriptor when refused; `size` gets the file's size.
UniqueFd openPicture(const PictureFile& picture, off_t& size);

}  // namespace lumorel

#endif  // LUMOREL_HOST_PICTURE_FILE_H_
