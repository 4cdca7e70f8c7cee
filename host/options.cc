#include "host/options.h"

#include <charconv>
#include <random>

namespace lumorel {
namespace {

bool validToken(const std::string& token) {
  if (token.size() < 8 || token.size() > 128) return false;
  for (char c : token) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

bool isLmUrl(const std::string& url) {
  return url.size() >= 3 && (url[0] == 'l' || url[0] == 'L') && (url[1] == 'm' || url[1] == 'M') &&
         url[2] == ':';
}

}  // namespace

std::optional<HostOptions> parseOptions(const std::vector<std::string>& args,
                                        std::string& error) {
  HostOptions options;
  bool urlGiven = false;
  bool exitWithPagesGiven = false;
  bool announceGiven = false;
  bool ownHost = false;  // --port, --token or --pages: a host of its own
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](const char* name) -> const std::string* {
      if (i + 1 >= args.size()) {
        error = std::string(name) + " needs a value";
        return nullptr;
      }
      return &args[++i];
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--no-browser") {
      options.openBrowser = false;
    } else if (arg == "--exit-with-pages") {
      exitWithPagesGiven = true;
    } else if (arg == "--detach") {
      options.detach = true;
    } else if (arg == "--announce") {
      announceGiven = true;
    } else if (arg == "--port") {
      const std::string* text = value("--port");
      if (!text) return std::nullopt;
      unsigned port = 0;
      auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), port);
      if (ec != std::errc() || end != text->data() + text->size() || port > 65535) {
        error = "--port needs a number from 0 to 65535, not \"" + *text + "\"";
        return std::nullopt;
      }
      options.port = static_cast<uint16_t>(port);
      ownHost = true;
    } else if (arg == "--random-seed") {
      const std::string* text = value("--random-seed");
      if (!text) return std::nullopt;
      uint32_t seed = 0;
      auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), seed);
      if (ec != std::errc() || end != text->data() + text->size()) {
        error = "--random-seed needs a number from 0 to 4294967295, not \"" + *text + "\"";
        return std::nullopt;
      }
      options.randomSeed = seed;
    } else if (arg == "--token") {
      const std::string* text = value("--token");
      if (!text) return std::nullopt;
      if (!validToken(*text)) {
        error = "--token needs 8 to 128 letters, digits, '-' or '_'";
        return std::nullopt;
      }
      options.token = *text;
      ownHost = true;
    } else if (arg == "--pages") {
      const std::string* text = value("--pages");
      if (!text) return std::nullopt;
      options.pagesFolder = *text;
      ownHost = true;
    } else if (!arg.empty() && arg[0] == '-') {
      error = "unknown option " + arg + " (see --help)";
      return std::nullopt;
    } else if (arg == "install" || arg == "uninstall") {
      if (args.size() != 1) {
        error = arg + " takes nothing else: lumorel " + arg;
        return std::nullopt;
      }
      options.command = arg == "install" ? HostCommand::kInstall : HostCommand::kUninstall;
    } else {
      if (urlGiven) {
        error = "only one address may be given";
        return std::nullopt;
      }
      if (!isLmUrl(arg)) {
        error = "the address must be an lm: URL, such as lm:main, not \"" + arg + "\"";
        return std::nullopt;
      }
      options.url = arg;
      urlGiven = true;
    }
  }
  // Scripts and tests start the host without a browser and stop it
  // themselves; a user's browser is what the host serves.
  options.exitWithPages = exitWithPagesGiven || options.openBrowser;
  options.announce = announceGiven || options.openBrowser;
  options.handOff = options.openBrowser && !ownHost;
  return options;
}

std::string usageText() {
  return "Usage: lumorel [--port N] [--token T] [--no-browser] [--exit-with-pages]\n"
         "               [--announce] [--pages DIR] [--random-seed N] [--detach]\n"
         "               [lm-URL]\n"
         "       lumorel install\n"
         "       lumorel uninstall\n"
         "\n"
         "Serves Lumorel's pages to the browser on this machine and opens the\n"
         "browser on lm-URL (lm:main when none is given). When Lumorel already runs\n"
         "for this user, the address opens in it instead (not with --no-browser,\n"
         "--port, --token or --pages, which start a Lumorel of their own).\n"
         "\n"
         "  install       put Lumorel into your desktop's menu (Lumorel 1.4, Lumorel\n"
         "                Tools, Lumorel Uninstall), make it open lm: addresses, and\n"
         "                set up the browser extension's folder; your folders only\n"
         "  uninstall     take all of that out again, with your Lumorel settings\n"
         "  --port N      listen on 127.0.0.1 port N (default 4714; 0 picks a free one)\n"
         "  --token T     the token the pages must give (default: a new random one)\n"
         "  --no-browser  print the address only, do not open a browser; Lumorel\n"
         "                then serves until it is stopped\n"
         "  --exit-with-pages\n"
         "                end a few seconds after the last page has closed, even\n"
         "                with --no-browser (without it, the default)\n"
         "  --announce    tell the browser's context menu where this Lumorel is, in\n"
         "                a file only this user can read, even with --no-browser\n"
         "                (without it, the default)\n"
         "  --pages DIR   serve the page set in the folder DIR instead of the one built\n"
         "                in: NAME.htm is the page NAME, NAME.formatted.htm the page\n"
         "                NAME that takes the URL's inserts, any other file is served\n"
         "                by its whole name (pictures)\n"
         "  --detach      return once the pages are served, and serve on in the\n"
         "                background (as the desktop's menu entries start Lumorel)\n"
         "  --random-seed N\n"
         "                start the random source at N, so that shuffles and random\n"
         "                jumps replay the same way (for tests)\n"
         "  --help        show this text\n"
         "  --version     show the version\n"
         "\n"
         "Lumorel ends a few seconds after its last page has closed (Exit in the\n"
         "main window, or every window closed); Ctrl-C ends it at any time.\n";
}

std::string randomToken() {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::random_device random;
  std::string token;
  for (int i = 0; i < 32; ++i) token.push_back(kDigits[random() % 16]);
  return token;
}

std::string servedAddress(uint16_t port, const std::string& url, const std::string& token) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  auto escaped = [](unsigned char c, bool inToken) {
    return c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '`' || c == '#' ||
           c == '{' || c == '}' || c == '|' || c == '\\' || c == '^' ||
           (inToken && (c == '&' || c == '%' || c == '+'));
  };
  std::string address = "http://127.0.0.1:" + std::to_string(port) + "/";
  auto append = [&](const std::string& text, bool inToken) {
    for (unsigned char c : text) {
      if (escaped(c, inToken)) {
        address.push_back('%');
        address.push_back(kHex[c >> 4]);
        address.push_back(kHex[c & 0xF]);
      } else {
        address.push_back(static_cast<char>(c));
      }
    }
  };
  append(url, false);
  address.append(url.find('?') == std::string::npos ? "?token=" : "&token=");
  append(token, true);
  return address;
}

}  // namespace lumorel
