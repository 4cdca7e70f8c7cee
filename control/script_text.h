// Measures of engine text as script sees it.
#ifndef LUMOREL_CONTROL_SCRIPT_TEXT_H_
#define LUMOREL_CONTROL_SCRIPT_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumorel {

// How many UTF-16 units script counts in `text`: UTF-8 is decoded (a
// character beyond the basic plane counts two); a text that is not UTF-8 is
// taken as a single-byte code page, one unit per byte.
std::size_t scriptLength(std::string_view text);

// `value` in decimal: a minus sign for a negative number, then the digits
// without leading zeros; zero is "0".
std::string toDecimal(int64_t value);

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_SCRIPT_TEXT_H_
