// What the in-page folder prompt shows: the folders in a folder, and the
// places to start from (the root, the home folder and the mount points),
// as the drive list does on Windows.
#ifndef LUMOREL_HOST_FOLDER_LISTING_H_
#define LUMOREL_HOST_FOLDER_LISTING_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumorel {

class FileSystem;

// The names of the folders in `folder` (a full path; a trailing separator
// is added when missing), sorted by byte; "." and ".." left out, links to
// folders too (the scanner does not follow them). nullopt when `folder` is
// not a full path or cannot be listed.
std::optional<std::vector<std::string>> listFolders(FileSystem& fs, std::string_view folder);

// The mount points in the text of /proc/self/mounts (`mounts`), with the
// octal escapes of their paths undone, pseudo file systems (proc, sysfs,
// cgroups and the like) left out; "/" first.
std::vector<std::string> mountPoints(std::string_view mounts);

// "/", the user's home folder (`home`, when a full path) and the mount
// points of this system, each once, each ending with the separator.
std::vector<std::string> startingPlaces(const char* home);

}  // namespace lumorel

#endif  // LUMOREL_HOST_FOLDER_LISTING_H_
