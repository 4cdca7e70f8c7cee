#include "host/options.h"

#include <gtest/gtest.h>

namespace lumorel {
namespace {

TEST(Options, TheCommandLineAsUsersWriteIt) {
  std::string error;
  std::optional<HostOptions> none = parseOptions({}, error);
  ASSERT_TRUE(none);
  EXPECT_EQ(none->port, 4714);
  EXPECT_TRUE(none->openBrowser);
  EXPECT_EQ(none->url, "lm:main");
  EXPECT_TRUE(none->token.empty());
  EXPECT_TRUE(none->exitWithPages);

  std::optional<HostOptions> all = parseOptions(
      {"--port", "0", "--token", "abcdefgh12", "--no-browser", "--pages", "/p", "LM:keys"}, error);
  ASSERT_TRUE(all) << error;
  EXPECT_EQ(all->port, 0);
  EXPECT_EQ(all->token, "abcdefgh12");
  EXPECT_FALSE(all->openBrowser);
  EXPECT_EQ(all->pagesFolder, "/p");
  EXPECT_EQ(all->url, "LM:keys");
  // Without a browser of its own the host serves until it is stopped,
  // unless told to end with its pages; the order does not matter.
  EXPECT_FALSE(all->exitWithPages);
  EXPECT_TRUE(parseOptions({"--no-browser", "--exit-with-pages"}, error)->exitWithPages);
  EXPECT_TRUE(parseOptions({"--exit-with-pages", "--no-browser"}, error)->exitWithPages);
  // Likewise it tells the browser's menu where it is only when asked.
  EXPECT_TRUE(none->announce);
  EXPECT_FALSE(all->announce);
  EXPECT_TRUE(parseOptions({"--announce", "--no-browser"}, error)->announce);
  EXPECT_FALSE(none->randomSeed);
  EXPECT_EQ(parseOptions({"--random-seed", "4294967295"}, error)->randomSeed, 4294967295u);
  EXPECT_FALSE(none->detach);
  EXPECT_TRUE(parseOptions({"--detach", "lm:utils"}, error)->detach);
  EXPECT_TRUE(parseOptions({"--help"}, error)->help);
  EXPECT_TRUE(parseOptions({"--version"}, error)->version);
}

TEST(Options, InstallUninstallAndHandingOffToARunningLumorel) {
  std::string error;
  EXPECT_EQ(parseOptions({}, error)->command, HostCommand::kServe);
  EXPECT_EQ(parseOptions({"install"}, error)->command, HostCommand::kInstall);
  EXPECT_EQ(parseOptions({"uninstall"}, error)->command, HostCommand::kUninstall);
  // Started as the desktop starts it, Lumorel hands its address to one
  // already running; any option that asks for a host of its own starts one.
  struct Case {
    std::vector<std::string> args;
    bool handOff;
  };
  const Case cases[] = {
      {{}, true},
      {{"lm:keys"}, true},
      {{"--exit-with-pages", "lm:utils"}, true},
      {{"--no-browser"}, false},
      {{"--port", "4714"}, false},
      {{"--token", "abcdefgh12"}, false},
      {{"--pages", "/p"}, false},
  };
  for (const Case& c : cases) {
    std::optional<HostOptions> options = parseOptions(c.args, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->handOff, c.handOff) << (c.args.empty() ? "no arguments" : c.args[0]);
  }
}

TEST(Options, MistakesAreNamed) {
  const std::vector<std::vector<std::string>> bad = {
      {"--port"},           {"--port", "65536"}, {"--port", "x"},     {"--token", "short"},
      {"--token", "has space in it"}, {"--bogus"}, {"http://x/"},     {"lm:a", "lm:b"},
      {"--random-seed"},    {"--random-seed", "-1"}, {"--random-seed", "4294967296"},
      {"--random-seed", "7x"}, {"install", "lm:main"}, {"uninstall", "--no-browser"},
      {"lm:main", "install"},
  };
  for (const auto& args : bad) {
    std::string error;
    EXPECT_FALSE(parseOptions(args, error)) << args[0];
    EXPECT_FALSE(error.empty()) << args[0];
  }
}

TEST(Options, TheServedAddressKeepsTheUrlReadable) {
  EXPECT_EQ(servedAddress(4714, "lm:main", "f00d"), "http://127.0.0.1:4714/lm:main?token=f00d");
  EXPECT_EQ(servedAddress(80, "lm:&rsrc=mainimg&2=0&1=", "t"),
            "http://127.0.0.1:80/lm:&rsrc=mainimg&2=0&1=?token=t");
  EXPECT_EQ(servedAddress(1, "lm:a b#c\xe9", "t"), "http://127.0.0.1:1/lm:a%20b%23c%E9?token=t");
  EXPECT_EQ(servedAddress(1, "lm:x?a=1", "t"), "http://127.0.0.1:1/lm:x?a=1&token=t");
  // A token given on the command line stays one parameter.
  EXPECT_EQ(servedAddress(1, "lm:main", "a&b c%+"),
            "http://127.0.0.1:1/lm:main?token=a%26b%20c%25%2B");
  EXPECT_EQ(randomToken().size(), 32u);
  EXPECT_NE(randomToken(), randomToken());
}

}  // namespace
}  // namespace lumorel
