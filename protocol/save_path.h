// The file path of a relayed download, as the URL carries it: percent-encoded
// (a page builds it with the script language's escape function).
#ifndef LUMOREL_PROTOCOL_SAVE_PATH_H_
#define LUMOREL_PROTOCOL_SAVE_PATH_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumorel {

// The longest save path, as carried in the URL (its buffer holds one more
// byte, the NUL).
inline constexpr std::size_t kMaxSavePathLength = 259;

// Decodes `encoded` left to right: "%" and two characters X Y give the byte
// 16*h(X) + h(Y) modulo 256, where h is the value of a digit, of "A" to "F"
// (10 to 15), and otherwise the character's code minus "a" plus 10 (so "a"
// to "f" give 10 to 15 and other characters give some byte); "%" and one
// last character X give 16*h(X); a "%" that ends the text stays a "%";
// everything else is copied.
//
// Returns nullopt, so that nothing is saved, when `encoded` is longer than
// kMaxSavePathLength or when the decoded path would hold a NUL byte (which
// would end it early and name another file).
std::optional<std::string> decodeSavePath(std::string_view encoded);

}  // namespace lumorel

#endif  // LUMOREL_PROTOCOL_SAVE_PATH_H_
