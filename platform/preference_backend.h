// Where the user's preferences are kept: named text values, and value files
// for the values that are too long for a named value.
#ifndef LUMOREL_PLATFORM_PREFERENCE_BACKEND_H_
#define LUMOREL_PLATFORM_PREFERENCE_BACKEND_H_

#include <optional>
#include <string>
#include <string_view>

namespace lumorel {

// One store per user, shared by every control of every process of that user
// without any locking among them: the last writer wins. Every operation may
// be called from any thread. Failures are values; nothing is reported
// elsewhere, but lastFailure() says what the last one was.
class PreferenceBackend {
 public:
  virtual ~PreferenceBackend() = default;

  // --- Named values ---

  // The value stored under `key` (keys compare without regard to ASCII case),
  // whole; nullopt when there is none or the store cannot be read.
  virtual std::optional<std::string> readValue(std::string_view key) = 0;

  // Stores `value` under `key`, replacing what was there; the empty text is
  // a value like any other. False when nothing could be stored.
  [[nodiscard]] virtual bool writeValue(std::string_view key, std::string_view value) = 0;

  // --- Value files ---
  //
  // `name` is a plain file name (no folder separator, not "." or ".."); the
  // backend refuses any other. The files live in a folder of the user's own.

  // The bytes of the file `name`, whole; nullopt when there is no such file
  // or it cannot be read.
  virtual std::optional<std::string> readFile(std::string_view name) = 0;

  // Makes `bytes` the content of the file `name`. A reader sees the old
  // content or the new, never a part. False when nothing could be written.
  [[nodiscard]] virtual bool replaceFile(std::string_view name, std::string_view bytes) = 0;

  // Removes the file `name`. True when it is gone (also when there was none).
  virtual bool removeFile(std::string_view name) = 0;

  // What went wrong the last time an operation failed, naming the store's
  // place (a path) and the reason, for a message to the user; empty when
  // nothing has failed or nothing is known.
  virtual std::string lastFailure() { return ""; }

  // The platform's store for the current user; lives for the whole process.
  static PreferenceBackend& system();
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_PREFERENCE_BACKEND_H_
