// Where a POSIX user's preferences live.
#ifndef LUMOREL_PLATFORM_POSIX_PREFERENCE_PATHS_H_
#define LUMOREL_PLATFORM_POSIX_PREFERENCE_PATHS_H_

#include <sys/types.h>

#include <string>

namespace lumorel {

// The folder of the preference database, from the values of
// XDG_CONFIG_HOME and HOME (either may be null): "$XDG_CONFIG_HOME/lumorel"
// when that is an absolute path, else "$HOME/.config/lumorel". Empty when
// neither gives an absolute path. No trailing separator.
std::string preferenceDatabaseFolder(const char* xdgConfigHome, const char* home);

// The folder of the value files, from the values of XDG_RUNTIME_DIR and
// TMPDIR (either may be null) and the user's id: "$XDG_RUNTIME_DIR/lumorel"
// when that is an absolute path, else "lumorel-<uid>" in $TMPDIR (when
// absolute) or in "/tmp". The temporary folder is shared by every user, so
// the folder carries the user's id and is checked before use
// (openPrivateFolder). No trailing separator.
std::string valueFileFolder(const char* xdgRuntimeDir, const char* tmpDir, uid_t uid);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_PREFERENCE_PATHS_H_
