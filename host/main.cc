// lumorel: serves Lumorel's pages to the browser of this machine and runs one
// EnumImg per page. See --help.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include "catalogue/random.h"
#include "host/browser_launch.h"
#include "host/desktop/desktop_install.h"
#include "host/folder_page_store.h"
#include "host/host_announcement.h"
#include "host/host_server.h"
#include "host/last_page_watch.h"
#include "host/menu_relay/host_client.h"
#include "host/options.h"
#include "host/reported_preferences.h"
#include "pages/store/built_in_pages.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/posix/curl_url_fetcher.h"
#include "platform/posix/offline_store.h"
#include "platform/preference_backend.h"
#include "platform/worker_thread.h"

namespace lumorel {
namespace {

// Opens the browser on `address` through the launch page, so that the
// token stays off every command line; without a runtime folder for the
// page, the printed address is what the user opens.
void openBrowser(const std::string& address) {
  std::string error;
  const std::optional<std::string> page = writeLaunchPage(announcementFolder(), address, error);
  if (!page) {
    std::cerr << "lumorel: " << error << "; open the address above in a browser\n";
    return;
  }
  openInBrowser(*page, "the address above");
}

// When Lumorel already runs for this user, opens `url` in it and returns
// true; false when none answers.
bool handToRunningHost(const std::string& url) {
  const std::optional<AnnouncedHost> running = readAnnouncement(announcementFolder());
  if (!running || !hostAnswers(*running)) return false;
  const uint16_t port =
      static_cast<uint16_t>(std::atoi(running->address.c_str() + running->address.rfind(':') + 1));
  std::string error;
  const std::optional<std::string> page =
      writeLaunchPage(announcementFolder(), servedAddress(port, url, running->token), error);
  if (!page) {
    std::cerr << "lumorel: " << error << "\n";
    return false;
  }
  if (!startBrowser(*page)) {
    std::cerr << "lumorel: xdg-open is not installed; open " << *page << " in a browser\n";
    return true;
  }
  std::cerr << "lumorel: Lumorel is already running (" << running->address << "); opened " << url
            << " in it\n";
  return true;
}

// Moves the program into the background: the caller's process waits until
// the program serves (or has failed) and ends with 0 (or 1); the program
// goes on in a session of its own. In the program, the descriptor to call
// servingNow() with.
int detachFromCaller() {
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid > 0) {
    ::close(ready[1]);
    char byte = 0;
    ssize_t got;
    while ((got = ::read(ready[0], &byte, 1)) < 0 && errno == EINTR) {
    }
    std::_Exit(got == 1 ? 0 : 1);
  }
  ::close(ready[0]);
  ::setsid();
  const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (nothing >= 0) {
    ::dup2(nothing, STDIN_FILENO);
    ::close(nothing);
  }
  return ready[1];
}

// Tells the waiting caller that the program serves.
void servingNow(int ready) {
  if (ready < 0) return;
  const char byte = 1;
  while (::write(ready, &byte, 1) < 0 && errno == EINTR) {
  }
  ::close(ready);
}

// lumorel install and lumorel uninstall.
int installOrUninstall(HostCommand command) {
  std::string error;
  const std::optional<InstallPlaces> places = installPlacesFromEnvironment(error);
  if (!places) {
    std::cerr << "lumorel: " << error << "\n";
    return 1;
  }
  if (command == HostCommand::kInstall) return installForUser(*places, std::cout) ? 0 : 1;
  // A running Lumorel would write its settings again as it ends.
  const std::optional<AnnouncedHost> running = readAnnouncement(announcementFolder());
  if (running && hostAnswers(*running)) {
    std::cerr << "lumorel: Lumorel is running (" << running->address
              << "); end it first (Exit in its main window), then run lumorel uninstall again\n";
    return 1;
  }
  return uninstallForUser(*places, std::cout) ? 0 : 1;
}

// How long the serving threads may take to end once the controls are
// closed and every connection is dropped; they normally end at once.
constexpr std::chrono::milliseconds kServingEndBound{1500};

// Leaves the process when it is still here `bound` after the guard was
// made: a serving thread kept busy (by a handler that does not heed the
// dropped connection) must not keep the host alive once its controls are
// closed. Nothing is left to save by then.
class ExitGuard {
 public:
  explicit ExitGuard(std::chrono::milliseconds bound)
      : thread_([this, bound] {
          std::unique_lock<std::mutex> lock(mu_);
          if (wake_.wait_for(lock, bound, [this] { return done_; })) return;
          std::fprintf(stderr, "lumorel: connections still busy; leaving without them\n");
          std::_Exit(0);
        }) {}
  ~ExitGuard() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  ExitGuard(const ExitGuard&) = delete;
  ExitGuard& operator=(const ExitGuard&) = delete;

 private:
  std::mutex mu_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;  // last: starts once the rest is ready
};

// The store of the offline copies ScrapeUrl makes, in the user's cache.
// Null, said once, when it cannot be made: ScrapeUrl then does nothing, as
// on a system without a subscription manager.
std::unique_ptr<OfflineStore> openOfflineStore() {
  const std::string folder =
      OfflineStore::defaultFolder(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
  if (folder.empty()) {
    std::cerr << "lumorel: neither XDG_CACHE_HOME nor HOME is an absolute path; web pages "
                 "are not copied for offline use\n";
    return nullptr;
  }
  std::string error;
  std::unique_ptr<OfflineStore> store = OfflineStore::open(folder, std::cerr, {}, error);
  if (!store) std::cerr << "lumorel: " << error << "; web pages are not copied for offline use\n";
  return store;
}

// How often the main thread looks whether any page is still connected.
constexpr std::chrono::milliseconds kPagePeriod{250};

// Waits for SIGINT or SIGTERM in `signals` (blocked in every thread); with
// a `watch`, also ends the wait once the pages have gone for its grace.
void waitForEnd(const sigset_t& signals, ControlRegistry& registry, LastPageWatch* watch) {
  if (!watch) {
    int signal = 0;
    sigwait(&signals, &signal);
    return;
  }
  const timespec period{0, std::chrono::nanoseconds(kPagePeriod).count()};
  while (true) {
    if (sigtimedwait(&signals, nullptr, &period) >= 0) return;
    // The period passed (or another signal came): look at the pages.
    if (watch->shouldEnd(registry.pagesConnected(), std::chrono::steady_clock::now())) {
      std::fprintf(stderr, "lumorel: the last page has closed; ending\n");
      return;
    }
  }
}

int run(const std::vector<std::string>& args) {
  std::string error;
  std::optional<HostOptions> options = parseOptions(args, error);
  if (!options) {
    std::cerr << "lumorel: " << error << "\n";
    return 2;
  }
  if (options->help) {
    std::cout << usageText();
    return 0;
  }
  if (options->version) {
    std::cout << "Lumorel 1.4\n";
    return 0;
  }
  if (options->command != HostCommand::kServe) return installOrUninstall(options->command);
  if (options->handOff && handToRunningHost(options->url)) return 0;
  // Before any thread is made: fork copies only the calling one.
  int ready = -1;
  if (options->detach && (ready = detachFromCaller()) < 0) {
    std::cerr << "lumorel: cannot start in the background\n";
    return 1;
  }

  // SIGINT and SIGTERM are taken by this thread alone, with sigwait, so
  // every thread made from here on leaves them alone.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  if (options->randomSeed) seedRandom(*options->randomSeed);

  const PageStore* pages = &builtInPages();
  std::unique_ptr<PageStore> folderPages;
  if (!options->pagesFolder.empty()) {
    folderPages = FolderPageStore::load(FileSystem::system(), options->pagesFolder, error);
    if (!folderPages) {
      std::cerr << "lumorel: " << error << "\n";
      return 1;
    }
    pages = folderPages.get();
  }
  CurlUrlFetcher fetcher;
  ReportedPreferences preferences(PreferenceBackend::system(), std::cerr);
  // Made before the server, so it goes after every control that uses it.
  std::unique_ptr<OfflineStore> offlineStore = openOfflineStore();
  HostConfig config{
      .port = options->port,
      .token = options->token.empty() ? randomToken() : options->token,
      .pages = pages,
      .fetcher = &fetcher,
      .session = SessionEnv{FileSystem::system(), Clock::system(), ThreadFactory::system(),
                            preferences, kWorkerWaitMs, offlineStore.get()},
  };
  std::optional<HostServer> server(std::in_place, config);
  if (!server->bind(error) && options->handOff) {
    // The usual port is taken (by another user's Lumorel, say): any free
    // port serves as well, since the announcement says where this one is.
    config.port = 0;
    server.emplace(config);
    if (server->bind(error))
      std::cerr << "lumorel: port " << kDefaultPort << " is taken; serving on port "
                << server->port() << "\n";
  }
  if (server->port() == 0) {
    std::cerr << "lumorel: " << error << "\n";
    return 1;
  }
  server->start();
  const std::string address = servedAddress(server->port(), options->url, config.token);
  std::cout << address << std::endl;
  const std::optional<HostAnnouncement> announcement =
      options->announce
          ? HostAnnouncement::write(announcementFolder(), server->port(), config.token, error)
          : std::nullopt;
  if (options->announce && !announcement)
    std::cerr << "lumorel: " << error << "; the browser's context menu will not find this Lumorel\n";
  // Announced before the browser opens: an address handed on from then on
  // finds this Lumorel.
  if (options->openBrowser) openBrowser(address);
  servingNow(ready);

  // As a desktop program, the host ends once the user has closed its last
  // page (a page that comes back within the grace keeps it); the same
  // clean end as on SIGTERM follows.
  std::optional<LastPageWatch> watch;
  if (options->exitWithPages) watch.emplace(config.grace);
  waitForEnd(stopSignals, server->registry(), watch ? &*watch : nullptr);
  // Every control closed and destroyed, its worker waited for; then the
  // connections, which stop() drops, have a bounded time to end.
  server->registry().closeAll();
  ExitGuard guard(kServingEndBound);
  server->stop();
  return 0;
}

}  // namespace
}  // namespace lumorel

int main(int argc, char** argv) {
  return lumorel::run(std::vector<std::string>(argv + 1, argv + argc));
}
