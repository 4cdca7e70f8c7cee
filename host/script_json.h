// JSON at the bridge: the engine's texts are bytes, JSON strings are Unicode.
//
// A text that is valid UTF-8 travels as itself. Each byte that is not part of
// a valid UTF-8 sequence (a Latin-1 file name, say) travels as the lone
// surrogate U+DC00 + byte (U+DC80..U+DCFF): script strings hold it, JSON
// writes it as "\udcXX", and it comes back as the same byte, so every text
// round-trips exactly.
//
// Inside the host a JSON string made or parsed here is in "carried form":
// UTF-8 in which such a byte is a NUL followed by its two hex digits, and a
// real NUL is a NUL followed by "00". Engine texts never hold a NUL, so the
// form is unambiguous; use engineText() and carriedText() to cross it.
#ifndef LUMOREL_HOST_SCRIPT_JSON_H_
#define LUMOREL_HOST_SCRIPT_JSON_H_

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace lumorel {

// The carried form of the engine text `bytes`.
std::string carriedText(std::string_view bytes);

// The engine text (bytes) of a carried-form string.
std::string engineText(std::string_view carried);

// `value` as JSON text; its strings must be in carried form (as carriedText
// and parseScriptJson make them). Never throws.
std::string dumpScriptJson(const nlohmann::json& value);

// Parses `body`; strings in the result are in carried form. nullopt, with a
// message in `error`, for anything that is not JSON (an unpaired surrogate
// other than U+DC80..U+DCFF included). Never throws.
std::optional<nlohmann::json> parseScriptJson(std::string_view body, std::string& error);

}  // namespace lumorel

#endif  // LUMOREL_HOST_SCRIPT_JSON_H_
