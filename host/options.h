// The command line of lumorel.
#ifndef LUMOREL_HOST_OPTIONS_H_
#define LUMOREL_HOST_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumorel {

inline constexpr uint16_t kDefaultPort = 4714;

// What the program is asked to do.
enum class HostCommand {
  kServe,      // serve the pages (the default)
  kInstall,    // "install": put Lumorel into the user's desktop
  kUninstall,  // "uninstall": take it out again, with the user's settings
};

struct HostOptions {
  HostCommand command = HostCommand::kServe;
  uint16_t port = kDefaultPort;
  std::string token;  // empty: a random one
  bool openBrowser = true;
  // End once every page has closed (see LastPageWatch); by default only
  // when the host opens the browser itself.
  bool exitWithPages = true;
  // Tell the user's other programs (the browser's menu relay) where this
  // host is (see HostAnnouncement); by default only when it opens the
  // browser itself.
  bool announce = true;
  std::string pagesFolder;  // empty: the page set compiled in
  std::string url = "lm:main";
  // Hand the address to a Lumorel already running for this user, when one
  // is, instead of starting another: as a desktop program started from the
  // menu or for an "lm:" address. Only without --no-browser, --port,
  // --token and --pages, which ask for a host of their own.
  bool handOff = true;
  // Serve in the background: the program returns once the pages are
  // served, as a desktop's launcher expects of what it starts.
  bool detach = false;
  // Seeds the engine's random source, so that a shuffle and the random jumps
  // replay the same way from run to run (for tests); nullopt: seeded by time.
  std::optional<uint32_t> randomSeed;
  bool help = false;
  bool version = false;
};

// Parses the arguments after the program's name. nullopt, with a message
// in `error`, for an unknown option, a missing or bad value, or an address
// that is not an "lm:" URL.
std::optional<HostOptions> parseOptions(const std::vector<std::string>& args,
                                        std::string& error);

// The text of --help.
std::string usageText();

// A new random token (hex digits).
std::string randomToken();

// `url` (an "lm:" URL) as the address the user opens, on `port`:
// "http://127.0.0.1:PORT/" followed by the URL, with bytes that may not
// stand in an address percent-encoded, and the parameter "token" with
// `token`, which the host trades for its cookie on that first visit.
std::string servedAddress(uint16_t port, const std::string& url, const std::string& token);

}  // namespace lumorel

#endif  // LUMOREL_HOST_OPTIONS_H_
