// The preferences of a Windows user: named values in the registry under the
// current user's key, value files in the user's temporary folder.
#ifndef LUMOREL_PLATFORM_WIN32_REGISTRY_PREFERENCE_BACKEND_H_
#define LUMOREL_PLATFORM_WIN32_REGISTRY_PREFERENCE_BACKEND_H_

#include <string>

#include "platform/mutex.h"
#include "platform/preference_backend.h"

namespace lumorel {

// Each named value is a REG_SZ value of the key `subKey` below
// HKEY_CURRENT_USER, named by the preference's key; the registry compares
// value names without regard to case. Values are stored with their
// terminating zero byte and read back whole, whatever their length: a value
// too long for the caller's limit is the caller's to refuse, never cut here.
// A value of another type, or a text with a zero byte, reads as missing;
// writing a text with a zero byte is refused. The key is opened for each
// call and made when missing, so a key deleted meanwhile comes back.
//
// Value files live in `fileFolder` (a path ending with '\'): "<folder><name>";
// with an empty `fileFolder` every value file is refused.
// A file is replaced by writing a new file beside it and moving that over
// the old one, so a reader sees the old bytes or the new. Readers share the
// file for reading, writing and deleting, so they never hold up a writer.
// A link or a folder at the name reads as missing. A name that is not a
// plain file name, or a path that does not fit kMaxPath, is refused.
//
// Thread safety: any thread; nothing is shared but the last failure.
class RegistryPreferenceBackend final : public PreferenceBackend {
 public:
  RegistryPreferenceBackend(std::string subKey, std::string fileFolder);

  std::optional<std::string> readValue(std::string_view key) override;
  bool writeValue(std::string_view key, std::string_view value) override;
  std::optional<std::string> readFile(std::string_view name) override;
  bool replaceFile(std::string_view name, std::string_view bytes) override;
  bool removeFile(std::string_view name) override;
  std::string lastFailure() override LM_EXCLUDES(failureMu_);

 private:
  // "<fileFolder_><name>" when `name` is a plain file name and the path
  // fits; empty otherwise.
  std::string filePath(std::string_view name) const;
  // Keeps "<place>: <reason of Win32 error `code`>" as the last failure and
  // returns false.
  bool fail(const std::string& place, uint32_t code) LM_EXCLUDES(failureMu_);
  std::string registryPlace() const;

  const std::string subKey_;
  const std::string fileFolder_;

  Mutex failureMu_;
  std::string failure_ LM_GUARDED_BY(failureMu_);
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_REGISTRY_PREFERENCE_BACKEND_H_
