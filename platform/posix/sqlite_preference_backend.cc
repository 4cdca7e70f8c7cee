#include "platform/posix/sqlite_preference_backend.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/posix/preference_paths.h"
#include "platform/posix/private_folder.h"
#include "platform/posix/unique_fd.h"

namespace lumorel {
namespace {

// Keys compare as registry value names do, without regard to ASCII case.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS preference("
    " key TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,"
    " value TEXT NOT NULL)";
constexpr const char* kSelect = "SELECT value FROM preference WHERE key = ?1";
constexpr const char* kUpsert =
    "INSERT INTO preference(key, value) VALUES(?1, ?2)"
    " ON CONFLICT(key) DO UPDATE SET value = excluded.value";

bool bindText(sqlite3_stmt* statement, int index, std::string_view text) {
  return sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT,
                             SQLITE_UTF8) == SQLITE_OK;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return true;
}

// The value file folder, checked; invalid when it cannot be used.
UniqueFd openFileFolder(const std::string& folder) { return openPrivateFolder(folder); }

}  // namespace

SqlitePreferenceBackend::SqlitePreferenceBackend(std::string databaseFolder,
                                                 std::string fileFolder)
    : databaseFolder_(std::move(databaseFolder)), fileFolder_(std::move(fileFolder)) {}

SqlitePreferenceBackend::~SqlitePreferenceBackend() {
  MutexLock lock(mu_);
  closeDatabase();
}

void SqlitePreferenceBackend::closeDatabase() {
  sqlite3_finalize(select_);
  sqlite3_finalize(upsert_);
  sqlite3_close(db_);
  select_ = upsert_ = nullptr;
  db_ = nullptr;
}

bool SqlitePreferenceBackend::open() {
  if (db_) return true;
  if (databaseFolder_.empty()) return fail("no folder for the preferences (HOME is not set)");
  if (!openPrivateFolderMakingParents(databaseFolder_).valid()) {
    const std::string why = std::strerror(errno);  // before any allocation may change errno
    return fail(databaseFolder_ + ": not a folder of this user's own that can be made or opened (" +
                why + ")");
  }
  if (sqlite3_open_v2(databasePath().c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW,
                      nullptr) != SQLITE_OK) {
    const std::string why = databaseError();
    closeDatabase();
    return fail(why);
  }
  sqlite3_busy_timeout(db_, kBusyWaitMs);
  // Write-ahead logging lets readers in other processes go on while one
  // writes. Where it cannot be had (a file system without shared memory), the
  // default journal serves as well, only with more waiting.
  // With the log, a commit need not reach the disk before the call returns:
  // a preference lost to a power failure is acceptable, a slow page is not.
  sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  if (sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db_, kSelect, -1, &select_, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db_, kUpsert, -1, &upsert_, nullptr) != SQLITE_OK) {
    const std::string why = databaseError();
    closeDatabase();
    return fail(why);
  }
  return true;
}

std::string SqlitePreferenceBackend::databasePath() const {
  return databaseFolder_ + "/preferences.sqlite";
}

std::string SqlitePreferenceBackend::databaseError() {
  return databasePath() + ": " + (db_ ? sqlite3_errmsg(db_) : "cannot be opened");
}

bool SqlitePreferenceBackend::fail(std::string what) {
  MutexLock lock(failureMu_);
  failure_ = std::move(what);
  return false;
}

std::string SqlitePreferenceBackend::lastFailure() {
  MutexLock lock(failureMu_);
  return failure_;
}

std::optional<std::string> SqlitePreferenceBackend::readValue(std::string_view key) {
  MutexLock lock(mu_);
  if (!open()) return std::nullopt;
  std::optional<std::string> value;
  if (bindText(select_, 1, key) && sqlite3_step(select_) == SQLITE_ROW) {
    const auto* text = static_cast<const char*>(sqlite3_column_blob(select_, 0));
    const int size = sqlite3_column_bytes(select_, 0);
    value.emplace(text ? text : "", static_cast<std::size_t>(size));
  }
  sqlite3_reset(select_);
  sqlite3_clear_bindings(select_);
  return value;
}

bool SqlitePreferenceBackend::writeValue(std::string_view key, std::string_view value) {
  MutexLock lock(mu_);
  if (!open()) return false;
  const bool ok =
      bindText(upsert_, 1, key) && bindText(upsert_, 2, value) && sqlite3_step(upsert_) == SQLITE_DONE;
  const std::string why = ok ? "" : databaseError();
  sqlite3_reset(upsert_);
  sqlite3_clear_bindings(upsert_);
  return ok || fail(why);
}

std::optional<std::string> SqlitePreferenceBackend::readFile(std::string_view name) {
  if (!isPlainFileName(name)) return std::nullopt;
  UniqueFd folder = openFileFolder(fileFolder_);
  if (!folder.valid()) return std::nullopt;
  UniqueFd file(openat(folder.get(), std::string(name).c_str(),
                       O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!file.valid() || fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      st.st_uid != geteuid())
    return std::nullopt;
  std::string bytes;
  char buffer[1 << 14];
  while (true) {
    ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

bool SqlitePreferenceBackend::replaceFile(std::string_view name, std::string_view bytes) {
  if (!isPlainFileName(name)) return false;
  UniqueFd folder = openFileFolder(fileFolder_);
  if (!folder.valid()) return failFiles();
  // Distinct per process and per call, so writers never share a new file.
  static std::atomic<uint32_t> serial{0};
  std::string fresh;
  UniqueFd file;
  for (int attempt = 0; attempt < 16 && !file.valid(); ++attempt) {
    // Relaxed: only uniqueness matters, not order.
    fresh = "." + std::string(name) + "." + std::to_string(getpid()) + "." +
            std::to_string(serial.fetch_add(1, std::memory_order_relaxed));
    file = UniqueFd(openat(folder.get(), fresh.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!file.valid() && errno != EEXIST) return failFiles();
  }
  if (!file.valid()) return failFiles();
  bool ok = writeAll(file.get(), bytes);
  ok = file.close() && ok;
  ok = ok && renameat(folder.get(), fresh.c_str(), folder.get(), std::string(name).c_str()) == 0;
  if (!ok) {
    const int error = errno;
    unlinkat(folder.get(), fresh.c_str(), 0);
    errno = error;
  }
  return ok || failFiles();
}

bool SqlitePreferenceBackend::removeFile(std::string_view name) {
  if (!isPlainFileName(name)) return false;
  UniqueFd folder = openFileFolder(fileFolder_);
  if (!folder.valid()) return failFiles();
  return unlinkat(folder.get(), std::string(name).c_str(), 0) == 0 || errno == ENOENT ||
         failFiles();
}

bool SqlitePreferenceBackend::failFiles() {
  const std::string why = std::strerror(errno);  // before any allocation may change errno
  return fail(fileFolder_ + ": " + why);
}

PreferenceBackend& PreferenceBackend::system() {
  // Never destroyed: controls on other threads may still use it at exit.
  static SqlitePreferenceBackend* backend = new SqlitePreferenceBackend(
      preferenceDatabaseFolder(getenv("XDG_CONFIG_HOME"), getenv("HOME")),
      valueFileFolder(getenv("XDG_RUNTIME_DIR"), getenv("TMPDIR"), geteuid()));
  return *backend;
}

}  // namespace lumorel
