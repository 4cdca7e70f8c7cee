#include "host/desktop/desktop_install.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/browser_launch.h"
#include "host/host_announcement.h"
#include "host/desktop/desktop_entries.h"
#include "host/desktop/desktop_files.h"
#include "host/desktop/mime_defaults.h"
#include "host/desktop/relay_manifest.h"
#include "platform/posix/offline_store.h"
#include "platform/posix/preference_paths.h"
#include "platform/posix/private_folder.h"
#include "platform/posix/unique_fd.h"

namespace lumorel {
namespace {

namespace fs = std::filesystem;

constexpr char kRelayProgram[] = "lumorel-menu-relay";
// The preference database and the files SQLite keeps beside it.
constexpr const char* kDatabaseFiles[] = {"preferences.sqlite", "preferences.sqlite-journal",
                                          "preferences.sqlite-wal", "preferences.sqlite-shm"};

// An XDG folder: the variable's value when it is an absolute path, else
// `fallback` under HOME; empty when neither is absolute.
std::string xdgFolder(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return value;
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/" + fallback;
  return {};
}

std::optional<std::string> readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

// Writes `bytes` as the file `path` with `mode`: beside it first, then
// renamed over it, so an earlier version is replaced whole. Makes the
// folders on the way. False, with `error`, when it cannot.
bool writeWhole(const std::string& path, std::string_view bytes, mode_t mode, std::string& error) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (ec) {
    error = "cannot make the folder " + fs::path(path).parent_path().string() + ": " + ec.message();
    return false;
  }
  const std::string partial = path + ".lumorel-" + std::to_string(getpid());
  UniqueFd file(::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode));
  bool written = file.valid() && ::fchmod(file.get(), mode) == 0;
  std::size_t done = 0;
  while (written && done < bytes.size()) {
    const ssize_t n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
    if (n <= 0) written = false;
    else done += static_cast<std::size_t>(n);
  }
  written = written && file.close() && ::rename(partial.c_str(), path.c_str()) == 0;
  if (!written) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    ::unlink(partial.c_str());
  }
  return written;
}

std::string_view bytesOf(const DesktopFile& file) {
  return {reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()};
}

bool isLumorelEntry(const std::string& text) {
  return text.find(std::string(kInstalledMark) + "\n") != std::string::npos;
}

std::string iconFolder(const InstallPlaces& places) { return places.dataHome + "/icons"; }

std::string entryPath(const InstallPlaces& places, std::string_view fileName) {
  return places.dataHome + "/applications/" + std::string(fileName);
}

std::string mimeAppsPath(const InstallPlaces& places) {
  return places.configHome + "/" + std::string(kMimeAppsFile);
}

std::string manifestPath(const InstallPlaces& places, std::string_view folder) {
  return places.configHome + "/" + std::string(folder) + "/" + std::string(kRelayName) + ".json";
}

// The mode of the file at `path`, or `otherwise` when there is none.
mode_t modeOr(const std::string& path, mode_t otherwise) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : otherwise;
}

// Removes what `places` and the program leave behind, a line each into
// `out`; counts what it removed.
class Remover {
 public:
  explicit Remover(std::ostream& out) : out_(out) {}

  // Removes the file `path` when it is there; says so when `say`.
  void file(const std::string& path, bool say = true) {
    std::error_code ec;
    const bool gone = fs::remove(path, ec);
    if (ec) {
      out_ << "could not remove " << path << ": " << ec.message() << "\n";
      ok_ = false;
    } else if (gone) {
      ++removed_;
      if (say) out_ << "removed " << path << "\n";
    }
  }

  // Removes the folder `path` when it is there and empty; a folder goes with
  // the files it held and is not counted apart.
  void emptyFolder(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec) && fs::is_empty(path, ec)) fs::remove(path, ec);
  }

  // Removes, in the private folder `path`, every file that `ours` names.
  template <typename Ours>
  void privateFiles(const std::string& path, Ours ours) {
    std::error_code ec;
    if (!fs::is_directory(path, ec)) return;  // opening it would make it
    UniqueFd folder = openPrivateFolder(path);
    if (!folder.valid()) return;
    DIR* listing = ::fdopendir(::dup(folder.get()));
    if (!listing) return;
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(listing))
      if (ours(std::string_view(entry->d_name))) names.emplace_back(entry->d_name);
    ::closedir(listing);
    for (const std::string& name : names) {
      if (::unlinkat(folder.get(), name.c_str(), 0) == 0) {
        ++removed_;
        out_ << "removed " << path << "/" << name << "\n";
      } else if (errno != ENOENT) {
        out_ << "could not remove " << path << "/" << name << ": " << std::strerror(errno) << "\n";
        ok_ = false;
      }
    }
  }

  int removed() const { return removed_; }
  bool ok() const { return ok_; }

 private:
  std::ostream& out_;
  int removed_ = 0;
  bool ok_ = true;
};

}  // namespace

std::optional<InstallPlaces> installPlacesFromEnvironment(std::string& error) {
  InstallPlaces places;
  places.dataHome = xdgFolder("XDG_DATA_HOME", ".local/share");
  places.configHome = xdgFolder("XDG_CONFIG_HOME", ".config");
  if (places.dataHome.empty() || places.configHome.empty()) {
    error = "neither XDG_DATA_HOME and XDG_CONFIG_HOME nor HOME is an absolute path";
    return std::nullopt;
  }
  std::error_code ec;
  const fs::path program = fs::read_symlink("/proc/self/exe", ec);
  if (ec) {
    error = "cannot tell where this program is: " + ec.message();
    return std::nullopt;
  }
  places.program = program.string();
  const fs::path relay = program.parent_path() / kRelayProgram;
  if (::access(relay.c_str(), X_OK) == 0) places.relay = relay.string();
  places.preferenceFolder =
      preferenceDatabaseFolder(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  places.valueFileFolder =
      valueFileFolder(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"), ::geteuid());
  places.offlineFolder =
      OfflineStore::defaultFolder(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
  return places;
}

std::string extensionFolder(const InstallPlaces& places) {
  return places.dataHome + "/lumorel/browser-extension";
}

bool installForUser(const InstallPlaces& places, std::ostream& out) {
  bool ok = true;
  std::string error;
  auto write = [&](const std::string& path, std::string_view bytes, mode_t mode) {
    if (writeWhole(path, bytes, mode, error)) return true;
    out << error << "\n";
    ok = false;
    return false;
  };

  for (const DesktopEntry& entry : desktopEntries()) {
    const std::string path = entryPath(places, entry.fileName);
    const std::optional<std::string> existing = readWhole(path);
    if (existing && !isLumorelEntry(*existing)) {
      out << "left " << path << " alone: Lumorel did not write it\n";
      ok = false;
      continue;
    }
    if (write(path, desktopEntryText(entry, places.program), 0644))
      out << "wrote " << path << (entry.hidden ? " (opens lm: addresses)" : "") << "\n";
  }

  int icons = 0;
  for (const DesktopFile& icon : desktopIcons()) {
    if (write(iconFolder(places) + "/" + std::string(icon.path), bytesOf(icon), 0644)) ++icons;
  }
  out << "wrote " << icons << " icons into " << iconFolder(places) << "/hicolor\n";

  const std::string mimeApps = mimeAppsPath(places);
  const std::string before = readWhole(mimeApps).value_or("");
  const std::string after = withDefaultApplication(before, kSchemeMimeType, kSchemeHandlerEntry);
  if (after == before || write(mimeApps, after, modeOr(mimeApps, 0644)))
    out << "made Lumorel open lm: addresses (" << mimeApps << ")\n";

  int extensionWritten = 0;
  for (const DesktopFile& file : extensionFiles()) {
    if (write(extensionFolder(places) + "/" + std::string(file.path), bytesOf(file), 0644))
      ++extensionWritten;
  }
  if (extensionWritten > 0) out << "wrote the browser extension into " << extensionFolder(places) << "\n";

  if (places.relay.empty()) {
    out << "the menu relay " << kRelayProgram << " is not beside " << places.program
        << "; build it and run lumorel install again for the browser's context menu\n";
  } else {
    for (std::string_view folder : kRelayManifestFolders) {
      const std::string path = manifestPath(places, folder);
      if (write(path, relayManifestText(places.relay), 0644))
        out << "registered the menu relay for the browser extension (" << path << ")\n";
    }
  }
  out << "To add Lumorel to the context menu of web pages in Chromium: open chrome://extensions,\n"
         "turn on Developer mode, choose \"Load unpacked\" and pick "
      << extensionFolder(places) << "\n";
  return ok;
}

bool uninstallForUser(const InstallPlaces& places, std::ostream& out) {
  Remover remove(out);
  for (const DesktopEntry& entry : desktopEntries()) {
    const std::string path = entryPath(places, entry.fileName);
    const std::optional<std::string> existing = readWhole(path);
    if (!existing) continue;
    if (isLumorelEntry(*existing)) remove.file(path);
    else out << "left " << path << " alone: Lumorel did not write it\n";
  }

  const int before = remove.removed();
  for (const DesktopFile& icon : desktopIcons())
    remove.file(iconFolder(places) + "/" + std::string(icon.path), false);
  if (remove.removed() > before)
    out << "removed " << remove.removed() - before << " icons from " << iconFolder(places) << "/hicolor\n";
  // The folders on the way go when they are left empty: the size's
  // folders, the theme's and the icon folder itself.
  for (const DesktopFile& icon : desktopIcons()) {
    fs::path folder = fs::path(iconFolder(places) + "/" + std::string(icon.path)).parent_path();
    for (int up = 0; up < 4; ++up, folder = folder.parent_path()) remove.emptyFolder(folder);
  }
  remove.emptyFolder(places.dataHome + "/applications");

  const std::string mimeApps = mimeAppsPath(places);
  if (const std::optional<std::string> text = readWhole(mimeApps)) {
    const std::string after = withoutDefaultApplication(*text, kSchemeMimeType, kSchemeHandlerEntry);
    std::string error;
    if (after == *text) {
      // Not Lumorel's (any more): nothing to take back.
    } else if (after == "[Default Applications]\n") {
      // Nothing but what install put there: the file goes.
      remove.file(mimeApps, false);
      out << "Lumorel no longer opens lm: addresses (" << mimeApps << " removed)\n";
    } else if (writeWhole(mimeApps, after, modeOr(mimeApps, 0644), error)) {
      out << "Lumorel no longer opens lm: addresses (" << mimeApps << ")\n";
    } else {
      out << error << "\n";
    }
  }

  const int extensionBefore = remove.removed();
  for (const DesktopFile& file : extensionFiles())
    remove.file(extensionFolder(places) + "/" + std::string(file.path), false);
  if (remove.removed() > extensionBefore)
    out << "removed the browser extension from " << extensionFolder(places)
        << " (remove it in chrome://extensions too)\n";
  remove.emptyFolder(extensionFolder(places));
  remove.emptyFolder(places.dataHome + "/lumorel");

  for (std::string_view folder : kRelayManifestFolders) {
    const std::string path = manifestPath(places, folder);
    const std::optional<std::string> text = readWhole(path);
    if (text && text->find("\"" + std::string(kRelayName) + "\"") != std::string::npos)
      remove.file(path);
    // The browser's folder goes only when nothing else is in it.
    remove.emptyFolder(fs::path(path).parent_path());
    remove.emptyFolder(fs::path(path).parent_path().parent_path());
  }

  for (const char* name : kDatabaseFiles) remove.file(places.preferenceFolder + "/" + name);
  remove.emptyFolder(places.preferenceFolder);
  remove.privateFiles(places.valueFileFolder, [](std::string_view name) {
    return name.starts_with('+') || name == kLaunchPageName || name == kAnnouncementFileName;
  });
  remove.emptyFolder(places.valueFileFolder);

  std::error_code ec;
  if (!places.offlineFolder.empty() && fs::exists(places.offlineFolder, ec))
    out << "kept the offline copies of web pages in " << places.offlineFolder
        << " (rm -rf that folder removes them)\n";
  if (remove.removed() == 0) out << "Lumorel is not installed for this user: nothing to remove\n";
  return remove.ok();
}

}  // namespace lumorel
