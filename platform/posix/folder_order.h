// The order in which a folder lists its entries. Pictures play in "folder
// order", which users know as alphabetical: the order the Windows file
// system keeps its folders in. Linux file systems list in the order of their
// own hashes, so the POSIX listing sorts each folder's names into that order.
#ifndef LUMOREL_PLATFORM_POSIX_FOLDER_ORDER_H_
#define LUMOREL_PLATFORM_POSIX_FOLDER_ORDER_H_

#include <string_view>

namespace lumorel {

// True when the entry named `a` lists before the one named `b`: names compare
// byte by byte as unsigned values with 'a'..'z' read as 'A'..'Z' (so "_"
// comes after every letter, and a name before every longer name it begins);
// names equal that way ("Img.jpg", "img.jpg") list in the order of their raw
// bytes. A strict weak ordering in which only equal names are equivalent.
bool listsBefore(std::string_view a, std::string_view b);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_FOLDER_ORDER_H_
