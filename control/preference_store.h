// The user's preferences as script sees them through the Preference
// property: text values under text keys.
#ifndef LUMOREL_CONTROL_PREFERENCE_STORE_H_
#define LUMOREL_CONTROL_PREFERENCE_STORE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace lumorel {

class PreferenceBackend;

// The longest key, and the longest named value a read gives back, in bytes.
inline constexpr std::size_t kMaxPreferenceKey = 259;
inline constexpr std::size_t kMaxPreferenceRead = 259;

// A key that begins with "+" is kept in a value file of its own ("+key.txt")
// and has no length limit on its value; every other key is a named value.
// A key never goes to both places.
//
// A value file holds the value, a zero byte, and zero bytes up to 2n + 2
// bytes in all, n being the value's length in UTF-16 units (more when the
// 8-bit text itself needs more room); reading gives the text up to the
// first zero byte, or the whole file when it has none.
//
// A key that is too long (or holds a zero byte), or a "+" key that holds a
// folder separator or "..", reads as the empty text and writes nothing, and
// so does every failure of the backend to read. A write the backend fails
// is told to the caller. A named value longer
// than kMaxPreferenceRead bytes is stored whole but reads as the empty
// text, never cut.
//
// The store keeps no state of its own; the backend is borrowed and shared by
// every control. Any thread the backend allows.
class PreferenceStore {
 public:
  explicit PreferenceStore(PreferenceBackend& backend) : backend_(backend) {}

  // The value under `key`, or the empty text.
  std::string read(std::string_view key) const;

  // Stores `value` under `key`. For a "+" key the old file goes first, and
  // an empty value leaves no file, so the key reads as empty. A value is
  // taken up to its first zero byte. False when the backend could not store
  // it (an unusable key is no failure: it is never stored).
  [[nodiscard]] bool write(std::string_view key, std::string_view value);

 private:
  PreferenceBackend& backend_;
};

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_PREFERENCE_STORE_H_
