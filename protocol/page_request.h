// What an "lm:" URL asks for: a page of the page set, possibly with inserts,
// or a download to relay and perhaps save.
//
// Two forms, told by the fourth character. Plain ("lm:main"): the page name
// is all the text after "lm:", unchanged. Parameter form
// ("lm:&rsrc=mainimg&2=0&1="): pairs whose keys select "rsrc" (the page
// name), "1" to "4" (inserts; giving any makes the page a formatted page),
// "save" (a percent-encoded file path) and "src" (an address to relay). A
// later pair for the same keyword replaces the earlier value; values are
// kept as they stand, not decoded.
#ifndef LUMOREL_PROTOCOL_PAGE_REQUEST_H_
#define LUMOREL_PROTOCOL_PAGE_REQUEST_H_

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumorel {

// The longest value of a pair (its buffer holds one more byte, the NUL).
inline constexpr std::size_t kMaxValueLength = 2047;
// The longest page name.
inline constexpr std::size_t kMaxPageNameLength = 255;
// Bytes of the URL text, its NUL included: the longest URL is one less.
inline constexpr std::size_t kMaxUrlText = 2094;

struct PageRequest {
  // True for the parameter form.
  bool parameterForm = false;
  // The page name as given; empty when none was.
  std::string pageName;
  // Inserts 1 to 4; nullopt for one that was not given.
  std::array<std::optional<std::string>, 4> inserts;
  // True when any insert was given, even an empty one.
  bool formatted = false;
  // The "save" value, still percent-encoded; empty when none.
  std::string save;
  // The "src" value; empty when none.
  std::string src;
};

// Reads `urlText`, an "lm:" URL (the scheme is not checked here: its first
// three characters are skipped). Never fails: characters that cannot stand
// where they are only end or skip a pair.
PageRequest parsePageRequest(std::string_view urlText);

}  // namespace lumorel

#endif  // LUMOREL_PROTOCOL_PAGE_REQUEST_H_
