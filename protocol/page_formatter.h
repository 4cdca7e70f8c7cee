// Fills the inserts of a formatted page.
//
// The template follows the message-formatting rules both shells share:
//   "%1" to "%4", optionally followed by "!s!", insert that value;
//   "%%" gives "%", "%n" CR LF, "% " a space, "%." a full stop, "%!" an
//   exclamation mark, and "%0" ends the output;
//   "%" before any other character that is not a digit gives that character
//   alone (so "width:100%;" comes out as "width:100;"), and a "%" that ends
//   the template gives nothing;
//   every other byte, line breaks included, is copied unchanged.
// An insert number other than 1 to 4 ("%5" to "%99"; two digits are read
// at most), or a format other than "!s!" (or one without its closing "!"),
// cannot be formatted.
//
// Pages put their inserts only inside script string literals, and each
// value is written so that it cannot leave one: every character that could
// end the literal or the script element becomes a script escape (see
// appendScriptEscaped). The values themselves come from a URL that any page
// may build, so they are never trusted.
#ifndef LUMOREL_PROTOCOL_PAGE_FORMATTER_H_
#define LUMOREL_PROTOCOL_PAGE_FORMATTER_H_

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace lumorel {

// The formatted text of `pageTemplate` with `inserts` (1 to 4, in order),
// or nullopt when the template cannot be formatted.
std::optional<std::string> formatPage(std::string_view pageTemplate,
                                      const std::array<std::string_view, 4>& inserts);

// Appends `value` to `out` for a place inside a script string literal
// (quoted with ' or "). Quotes, the backtick, backslash, "<", ">", "&",
// every control character (0x00 to 0x1F and 0x7F) become "\xHH"; the UTF-8
// forms of U+2028 and U+2029 (line terminators in script) become "\u2028"
// and "\u2029"; the pieces of those forms that a value starts or ends
// with become "\xHH" too, so that no line terminator forms where the value
// meets the text beside it. Every other byte is copied, so other text keeps
// its bytes.
void appendScriptEscaped(std::string& out, std::string_view value);

}  // namespace lumorel

#endif  // LUMOREL_PROTOCOL_PAGE_FORMATTER_H_
