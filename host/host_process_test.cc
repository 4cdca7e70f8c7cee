// The lumorel program itself, stopped with SIGTERM while clients hold it
// in every way they can: it must close its controls and be gone within two
// seconds whatever they do. And ending by itself once its last page has
// gone, where it was asked to.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/host_test_util.h"
#include "host/socket_test_util.h"

extern char** environ;

namespace lumorel {
namespace {

using std::chrono::milliseconds;

constexpr char kToken[] = "process-token-0123456789";
constexpr milliseconds kExitBound{2000};

// A running lumorel with its own home, stopped (and waited for) when the
// object goes if the test did not.
class HostProcess {
 public:
  // Started with `extra` after the usual arguments, and `extraEnv`
  // ("NAME=value") after the usual environment.
  explicit HostProcess(const std::vector<std::string>& extra = {},
                       const std::vector<std::string>& extraEnv = {}) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    const std::string err = home_ / "stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_", 0) != 0) env.push_back(entry);
    }
    env.push_back("HOME=" + home_.path());
    env.push_back("XDG_CONFIG_HOME=" + home_.makeFolder("config"));
    env.push_back("XDG_RUNTIME_DIR=" + home_.makeFolder("run"));
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {LUMOREL_HOST_BINARY, "--port", "0", "--no-browser",
                                     "--token", kToken};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    readPort(out[0]);
    ::close(out[0]);
  }
  ~HostProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  // The port it printed; 0 when it printed none within ten seconds.
  uint16_t port() const { return port_; }

  // Sends SIGTERM and waits at most `wait` for the process to end; its
  // wait status, or nullopt when it was still there (it is then killed).
  std::optional<int> terminate(milliseconds wait, long long& tookMs) {
    const auto begin = SteadyClock::now();
    ::kill(pid_, SIGTERM);
    int status = 0;
    // Polls the child's end; the figure is read to the poll's period.
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (SteadyClock::now() - begin > wait) {
        tookMs = millisSince(begin);
        return std::nullopt;
      }
      ::usleep(5000);
    }
    tookMs = millisSince(begin);
    pid_ = -1;
    return status;
  }

  // Waits at most `wait` for the process to end by itself; its wait status,
  // or nullopt when it is still running.
  std::optional<int> waitForExit(milliseconds wait, long long& tookMs) {
    const auto begin = SteadyClock::now();
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (SteadyClock::now() - begin > wait) {
        tookMs = millisSince(begin);
        return std::nullopt;
      }
      ::usleep(5000);
    }
    tookMs = millisSince(begin);
    pid_ = -1;
    return status;
  }

  bool running() const {
    int status = 0;
    return pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == 0;
  }

  std::string errors() const { return readFile(home_ / "stderr"); }
  // Its HOME.
  const TempFolder& home() const { return home_; }

 private:
  void readPort(int fd) {
    std::string line;
    const auto deadline = SteadyClock::now() + std::chrono::seconds(10);
    while (line.find('\n') == std::string::npos && SteadyClock::now() < deadline) {
      pollfd entry{fd, POLLIN, 0};
      if (::poll(&entry, 1, 100) <= 0) continue;
      char buffer[256];
      const ssize_t got = ::read(fd, buffer, sizeof buffer);
      if (got <= 0) break;
      line.append(buffer, static_cast<std::size_t>(got));
    }
    // "http://127.0.0.1:PORT/..."
    const std::size_t colon = line.find(':', 7);
    if (colon != std::string::npos)
      port_ = static_cast<uint16_t>(std::atoi(line.c_str() + colon + 1));
  }

  TempFolder home_;
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

// What holds the host when SIGTERM comes; kept until the process is gone.
struct Holders {
  std::vector<std::unique_ptr<RawClient>> clients;
  std::unique_ptr<SilentServer> web;
  std::unique_ptr<EventReader> stream;
};

std::string head(uint16_t port, const std::string& target) {
  return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
         "\r\nX-Lumorel-Token: " + kToken + "\r\n\r\n";
}

void trickler(uint16_t port, Holders& h) {
  h.clients.push_back(std::make_unique<RawClient>(port));
  // A byte a second: each read comes long before any per-read time-out.
  h.clients.back()->trickle(head(port, "/lm:main"), milliseconds(1000));
  ASSERT_TRUE(h.clients.back()->waitForTrickled(2, milliseconds(10000)));
}

void relay(uint16_t port, Holders& h) {
  h.web = std::make_unique<SilentServer>();
  h.clients.push_back(std::make_unique<RawClient>(port));
  ASSERT_TRUE(h.clients.back()->send(head(port, "/lm:&src=" + h.web->url())));
  ASSERT_GE(h.web->waitForConnection(1, milliseconds(10000)), 0) << "the relay never fetched";
}

void eventStream(uint16_t port, Holders& h) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(30, 0);
  auto created = client.Post("/.lumorel/controls", {{"X-Lumorel-Token", kToken}}, "",
                             "application/json");
  ASSERT_TRUE(created && created->status == 200);
  std::string error;
  const std::string id = parseScriptJson(created->body, error).value_or(nullptr).value("id", "");
  ASSERT_FALSE(id.empty());
  h.stream = std::make_unique<EventReader>(port, "/.lumorel/controls/" + id + "/events", kToken);
}

void idleConnections(uint16_t port, Holders& h) {
  for (int i = 0; i < 300; ++i) {
    h.clients.push_back(std::make_unique<RawClient>(port));
    if (i % 2 == 1) {
      ASSERT_TRUE(h.clients.back()->send("GET /lm:main HTTP/1.1\r\n"));
    }
  }
  // Connections are taken in the order they came: once a page is answered,
  // the host holds every idle one (or has dropped it).
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(30, 0);
  auto page = client.Get("/lm:main", {{"X-Lumorel-Token", kToken}});
  ASSERT_TRUE(page && page->status == 200) << httplib::to_string(page.error());
}

TEST(HostProcess, SigtermEndsTheProgramWithinTwoSecondsWhateverClientsDo) {
  using Setup = std::function<void(uint16_t, Holders&)>;
  struct Case {
    const char* name;
    std::vector<Setup> setups;
  } cases[] = {
      {"no client", {}},
      {"a request head a byte a second", {trickler}},
      {"a relay from a web server that never answers", {relay}},
      {"an open event stream", {eventStream}},
      {"three hundred idle connections", {idleConnections}},
      {"all of them at once", {trickler, relay, eventStream, idleConnections}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostProcess host;
    ASSERT_NE(host.port(), 0) << host.errors();
    Holders holders;
    for (const Setup& setup : c.setups) {
      setup(host.port(), holders);
      if (::testing::Test::HasFatalFailure()) return;
    }
    long long took = 0;
    std::optional<int> status = host.terminate(kExitBound, took);
    std::printf("[ measured ] %s: gone %lld ms after SIGTERM\n", c.name, took);
    ASSERT_TRUE(status.has_value()) << "still running after " << took << " ms";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    // It stopped by closing everything, not by giving up on busy threads.
    EXPECT_EQ(host.errors().find("leaving without them"), std::string::npos) << host.errors();
  }
}

// A browser's shared event stream: what a browser's events worker holds
// while a page of it lives.
std::unique_ptr<EventReader> pageStream(uint16_t port) {
  auto stream = std::make_unique<EventReader>(port, "/.lumorel/controls/events", kToken);
  if (!stream->next("stream")) return nullptr;
  return stream;
}

TEST(HostProcess, EndsOnceTheLastPageHasGoneOnlyWhereAskedTo) {
  // The host's grace for pages, and a margin for its sampling and for
  // noticing a closed stream: its keep-alive is written every second, and
  // the write after the client's end is the first to fail.
  const milliseconds grace{5000};
  const milliseconds margin{4000};
  HostProcess ending({"--exit-with-pages"});
  HostProcess serving;  // --no-browser alone, as scripts start it
  ASSERT_NE(ending.port(), 0) << ending.errors();
  ASSERT_NE(serving.port(), 0) << serving.errors();

  // No page has come yet: the user may still be opening the address.
  std::this_thread::sleep_for(grace + margin);
  ASSERT_TRUE(ending.running()) << ending.errors();

  // One page goes while another stays.
  std::unique_ptr<EventReader> first = pageStream(ending.port());
  std::unique_ptr<EventReader> second = pageStream(ending.port());
  std::unique_ptr<EventReader> scripted = pageStream(serving.port());
  ASSERT_TRUE(first && second && scripted);
  first.reset();
  scripted.reset();
  std::this_thread::sleep_for(grace + margin);
  ASSERT_TRUE(ending.running()) << ending.errors();

  // The last page goes: the host ends after its grace, the clean way.
  second.reset();
  long long took = 0;
  std::optional<int> status = ending.waitForExit(grace + margin, took);
  std::printf("[ measured ] gone %lld ms after its last page\n", took);
  ASSERT_TRUE(status.has_value()) << "still running after " << took << " ms; " << ending.errors();
  EXPECT_GE(took, grace.count() - 500);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
  EXPECT_NE(ending.errors().find("the last page has closed"), std::string::npos) << ending.errors();
  EXPECT_EQ(ending.errors().find("leaving without them"), std::string::npos) << ending.errors();

  // Started without a browser of its own, the host serves on.
  EXPECT_TRUE(serving.running()) << serving.errors();
  httplib::Client client("127.0.0.1", serving.port());
  auto page = client.Get("/lm:main", {{"X-Lumorel-Token", kToken}});
  ASSERT_TRUE(page && page->status == 200);
}

TEST(HostProcess, KeepsOfflineCopiesInTheUsersCacheOrSaysOnceItCannot) {
  HostProcess host;
  ASSERT_NE(host.port(), 0) << host.errors();
  struct stat st {};
  ASSERT_EQ(::stat((host.home() / ".cache/lumorel/offline").c_str(), &st), 0) << host.errors();
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A cache where no folder can be made: said once, and the host serves on.
  HostProcess without({}, {"XDG_CACHE_HOME=/dev/null/cache"});
  ASSERT_NE(without.port(), 0) << without.errors();
  httplib::Client client("127.0.0.1", without.port());
  client.set_read_timeout(30, 0);
  auto page = client.Get("/lm:main", {{"X-Lumorel-Token", kToken}});
  ASSERT_TRUE(page && page->status == 200);
  const std::string errors = without.errors();
  const std::string said = "web pages are not copied for offline use";
  const std::size_t first = errors.find(said);
  ASSERT_NE(first, std::string::npos) << errors;
  EXPECT_EQ(errors.find(said, first + 1), std::string::npos) << "said once: " << errors;
  EXPECT_NE(errors.find("/dev/null/cache/lumorel/offline"), std::string::npos) << errors;
}

}  // namespace
}  // namespace lumorel
