// Folders that only their user can reach, for files whose names are fixed
// and so could be planted by someone else in a shared folder.
#ifndef LUMOREL_PLATFORM_POSIX_PRIVATE_FOLDER_H_
#define LUMOREL_PLATFORM_POSIX_PRIVATE_FOLDER_H_

#include <string>
#include <string_view>

#include "platform/posix/unique_fd.h"

namespace lumorel {

// Opens the folder at `path`, making it (mode 0700) when it is missing; the
// folder that holds it must exist. The folder must be a real folder (not a
// link) owned by the effective user; one of the user's own that others could
// enter is narrowed to 0700 first. Returns an invalid descriptor when the
// folder cannot be made or opened or belongs to someone else.
UniqueFd openPrivateFolder(const std::string& path);

// Like openPrivateFolder, but first makes the missing folders on the way
// (mode 0700).
UniqueFd openPrivateFolderMakingParents(const std::string& path);

// Writes `text` as the file `name` (mode 0600) in the folder `folderFd`:
// under `partialName` first, then renamed into place, so that a reader sees
// the old file or the whole new one. False, with nothing left under
// `partialName`, when it cannot.
bool replaceFile(int folderFd, const char* name, const char* partialName, std::string_view text);

// True when `name` names a file directly inside a folder: not empty, not "."
// or "..", no '/' and no NUL.
bool isPlainFileName(std::string_view name);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_PRIVATE_FOLDER_H_
