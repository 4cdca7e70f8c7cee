// Which file names are pictures.
#ifndef LUMOREL_CATALOGUE_PICTURE_NAME_H_
#define LUMOREL_CATALOGUE_PICTURE_NAME_H_

#include <string_view>

namespace lumorel {

// True when `name` ends with one of the picture extensions ".jpg", ".gif",
// ".jpeg", ".bmp", ".png", ".xbm", ".xif", ".art", ".pict", ".jpe", ASCII
// letters compared without case. Nothing else about the file is looked at.
bool isPictureName(std::string_view name);

// True when `text` ends with `suffix`, ASCII letters compared without case.
bool endsWithNoCase(std::string_view text, std::string_view suffix);

}  // namespace lumorel

#endif  // LUMOREL_CATALOGUE_PICTURE_NAME_H_
