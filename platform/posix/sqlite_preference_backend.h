// The preferences of a POSIX user: named values in an SQLite database in the
// user's configuration folder, value files in a folder only the user can
// reach.
#ifndef LUMOREL_PLATFORM_POSIX_SQLITE_PREFERENCE_BACKEND_H_
#define LUMOREL_PLATFORM_POSIX_SQLITE_PREFERENCE_BACKEND_H_

#include <string>

#include "platform/mutex.h"
#include "platform/preference_backend.h"

struct sqlite3;
struct sqlite3_stmt;

namespace lumorel {

// Several processes may use the same database at once: each statement is
// its own transaction, a writer that finds the database locked waits (up to
// kBusyWaitMs) instead of failing, and the last write wins. The database is
// opened on first use and, after a failure, again at the next call, so a
// store that was unreachable for a moment recovers.
//
// Value files are replaced by writing a new file beside them and renaming it
// over the old one, and are opened without following links; a file that is
// not a plain file of the user's own reads as missing.
//
// Thread safety: any thread; the database connection is guarded by `mu_`.
class SqlitePreferenceBackend final : public PreferenceBackend {
 public:
  // How long a write waits for another process's write to finish.
  static constexpr int kBusyWaitMs = 5000;

  // The database is "preferences.sqlite" in `databaseFolder`; the value
  // files are kept in `fileFolder`. Both folders are made (mode 0700) when
  // missing, at first use.
  SqlitePreferenceBackend(std::string databaseFolder, std::string fileFolder);
  ~SqlitePreferenceBackend() override;

  SqlitePreferenceBackend(const SqlitePreferenceBackend&) = delete;
  SqlitePreferenceBackend& operator=(const SqlitePreferenceBackend&) = delete;

  std::optional<std::string> readValue(std::string_view key) override LM_EXCLUDES(mu_);
  bool writeValue(std::string_view key, std::string_view value) override LM_EXCLUDES(mu_);
  std::optional<std::string> readFile(std::string_view name) override;
  bool replaceFile(std::string_view name, std::string_view bytes) override;
  bool removeFile(std::string_view name) override;
  std::string lastFailure() override LM_EXCLUDES(failureMu_);

 private:
  // Opens the database when it is not open; false when it cannot.
  bool open() LM_REQUIRES(mu_);
  // Keeps `what` as the last failure and returns false.
  bool fail(std::string what) LM_EXCLUDES(failureMu_);
  // fail() for the value files' folder, with errno's reason.
  bool failFiles() LM_EXCLUDES(failureMu_);
  std::string databasePath() const;
  // The database's own account of its last error, with its path.
  std::string databaseError() LM_REQUIRES(mu_);
  void closeDatabase() LM_REQUIRES(mu_);

  const std::string databaseFolder_;
  const std::string fileFolder_;

  Mutex mu_;
  sqlite3* db_ LM_GUARDED_BY(mu_) = nullptr;
  sqlite3_stmt* select_ LM_GUARDED_BY(mu_) = nullptr;
  sqlite3_stmt* upsert_ LM_GUARDED_BY(mu_) = nullptr;

  Mutex failureMu_;  // apart from mu_: the value files take no other lock
  std::string failure_ LM_GUARDED_BY(failureMu_);
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_SQLITE_PREFERENCE_BACKEND_H_
