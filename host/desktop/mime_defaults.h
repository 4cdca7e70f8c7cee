// The user's choice of default applications (the "mimeapps.list" file of
// the configuration folder), edited line by line so that everything else in
// it stays as the user or other programs left it.
#ifndef LUMOREL_HOST_DESKTOP_MIME_DEFAULTS_H_
#define LUMOREL_HOST_DESKTOP_MIME_DEFAULTS_H_

#include <string>
#include <string_view>

namespace lumorel {

inline constexpr std::string_view kMimeAppsFile = "mimeapps.list";

// `text` (the file's content, possibly empty) with `desktopFile` as the
// default application of `mimeType`: the type's line in the
// "[Default Applications]" group is replaced, or added, with the group
// when there is none.
std::string withDefaultApplication(std::string_view text, std::string_view mimeType,
                                   std::string_view desktopFile);

// `text` without `desktopFile` among the defaults of `mimeType`; the line
// goes when nothing else is left on it. Every other line stays.
std::string withoutDefaultApplication(std::string_view text, std::string_view mimeType,
                                      std::string_view desktopFile);

}  // namespace lumorel

#endif  // LUMOREL_HOST_DESKTOP_MIME_DEFAULTS_H_
