#include "catalogue/picture_name.h"

#include "catalogue/text_helpers.h"

namespace lumorel {

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
  if (suffix.size() > text.size()) return false;
  text.remove_prefix(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (lowerAscii(text[i]) != lowerAscii(suffix[i])) return false;
  }
  return true;
}

bool isPictureName(std::string_view name) {
  static constexpr std::string_view kExtensions[] = {
      ".jpg", ".gif", ".jpeg", ".bmp", ".png", ".xbm", ".xif", ".art", ".pict", ".jpe",
  };
  for (std::string_view extension : kExtensions) {
    if (endsWithNoCase(name, extension)) return true;
  }
  return false;
}

}  // namespace lumorel
