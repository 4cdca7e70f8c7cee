// What the in-page folder prompt shows: the folders in a folder, and the
// places to start from (the root, the home folder and the mount points),
// as the drive list does on Windows; the folder it opens in, the folder a
// typed path names, and why a folder cannot be shown.
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

// Why a folder cannot be listed, as the prompt tells the user.
enum class FolderProblem {
  kMissing,     // nothing of that name
  kNotAFolder,  // a file (or a device, a socket...)
  kUnreadable,  // a folder that cannot be read (no permission, say)
};

// The problem's name as the page knows it: "missing", "notFolder",
// "unreadable" (the keys of the prompt's texts for them).
std::string_view folderProblemName(FolderProblem problem);

// Why `folder` (a full path) cannot be listed: nothing there, something
// that is no folder, or a folder that cannot be read. Asked only after a
// listing failed; a folder that is listable by the time of the question
// counts as unreadable.
FolderProblem whyUnlisted(FileSystem& fs, std::string_view folder);

// The full path of the folder that `typed` names, ending with the
// separator: a full path as it stands, "~" and "~/..." below `home`, any
// other text below `current`. Leading and trailing blanks are dropped (a
// pasted path often carries them); repeated separators and "." steps go,
// ".." takes the step before it (never above the root). The steps are
// resolved by their text alone, as a shell's cd does: a link stays a step.
// nullopt when no full path comes of it: an empty or blank text, a relative
// one while `current` is no full path, "~" while `home` is none, a NUL.
std::optional<std::string> resolveFolderPath(std::string_view typed, std::string_view current,
                                             std::string_view home);

// The folder that the prompt opens in when asked to start at `requested`:
// that folder when it can be listed, else its nearest parent that can;
// `home` (when a full path that can be listed) for a starting folder that
// is no full path (a Windows one such as "C:\", or none at all); "/" last.
// Ends with the separator.
std::string startingFolder(FileSystem& fs, std::string_view requested, std::string_view home);

// The mount points in the text of /proc/self/mounts (`mounts`), with the
// octal escapes of their paths undone, pseudo file systems (proc, sysfs,
// cgroups and the like) left out; "/" first.
std::vector<std::string> mountPoints(std::string_view mounts);

// Whether `folder` (a full path, with or without the trailing separator) is
// where a file system is mounted, by the text of /proc/self/mounts
// (`mounts`): "/" always is; pseudo file systems count too. The path is
// compared as written: a link to a mount point is not one.
bool isMountPoint(std::string_view mounts, std::string_view folder);

// The text of /proc/self/mounts: the file systems mounted as this process
// sees them. Empty when it cannot be read.
std::string readMounts();

// "/", the user's home folder (`home`, when a full path) and the mount
// points of this system, each once, each ending with the separator.
std::vector<std::string> startingPlaces(const char* home);

}  // namespace lumorel

#endif  // LUMOREL_HOST_FOLDER_LISTING_H_
