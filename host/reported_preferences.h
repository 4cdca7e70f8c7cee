// The user's preference store, as the host uses it: the first write it
// cannot keep is told once on the host's error stream, saying where the
// store is and what is wrong with it, so a user whose settings do not stick
// learns why. Every call is passed on unchanged.
#ifndef LUMOREL_HOST_REPORTED_PREFERENCES_H_
#define LUMOREL_HOST_REPORTED_PREFERENCES_H_

#include <atomic>
#include <ostream>

#include "platform/preference_backend.h"

namespace lumorel {

// Thread safety: any thread, as the store it wraps.
class ReportedPreferences final : public PreferenceBackend {
 public:
  // `store` and `out` are borrowed and outlive this object.
  ReportedPreferences(PreferenceBackend& store, std::ostream& out) : store_(store), out_(out) {}

  std::optional<std::string> readValue(std::string_view key) override {
    return store_.readValue(key);
  }
  bool writeValue(std::string_view key, std::string_view value) override {
    return reported(store_.writeValue(key, value));
  }
  std::optional<std::string> readFile(std::string_view name) override {
    return store_.readFile(name);
  }
  bool replaceFile(std::string_view name, std::string_view bytes) override {
    return reported(store_.replaceFile(name, bytes));
  }
  bool removeFile(std::string_view name) override { return reported(store_.removeFile(name)); }
  std::string lastFailure() override { return store_.lastFailure(); }

 private:
  // Tells the first failure; gives `ok` back.
  bool reported(bool ok);

  PreferenceBackend& store_;
  std::ostream& out_;
  std::atomic<bool> told_{false};
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_REPORTED_PREFERENCES_H_
