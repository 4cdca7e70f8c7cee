#include "control/preference_store.h"

#include <algorithm>

#include "control/script_text.h"
#include "platform/preference_backend.h"

namespace lumorel {
namespace {

bool isFileKey(std::string_view key) { return !key.empty() && key.front() == '+'; }

bool isUsableKey(std::string_view key) {
  if (key.size() > kMaxPreferenceKey || key.find('\0') != std::string_view::npos) return false;
  // A file key names a file in the preference folder and nothing outside it.
  if (isFileKey(key) &&
      (key.find_first_of("/\\") != std::string_view::npos || key.find("..") != std::string_view::npos))
    return false;
  return true;
}

std::string fileName(std::string_view key) { return std::string(key) + ".txt"; }

std::string_view upToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

}  // namespace

std::string PreferenceStore::read(std::string_view key) const {
  if (!isUsableKey(key)) return "";
  if (isFileKey(key)) {
    std::optional<std::string> bytes = backend_.readFile(fileName(key));
    return bytes ? std::string(upToZero(*bytes)) : "";
  }
  std::optional<std::string> value = backend_.readValue(key);
  if (!value) return "";
  std::string_view text = upToZero(*value);
  return text.size() <= kMaxPreferenceRead ? std::string(text) : "";
}

bool PreferenceStore::write(std::string_view key, std::string_view value) {
  if (!isUsableKey(key)) return true;
  const std::string_view text = upToZero(value);
  if (!isFileKey(key)) return backend_.writeValue(key, text);
  const std::string name = fileName(key);
  if (!backend_.removeFile(name)) return false;
  if (text.empty()) return true;
  // Room for the 8-bit text and its zero byte even where it takes more bytes
  // than two per UTF-16 unit.
  std::string bytes(text);
  bytes.resize(std::max(2 * scriptLength(value) + 2, text.size() + 1), '\0');
  return backend_.replaceFile(name, bytes);
}

}  // namespace lumorel
