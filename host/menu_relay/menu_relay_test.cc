// The menu relay: its message framing, how it finds the host (the
// announcement, or the address a host it started prints), and the whole
// relay between a browser's pipes and a host on loopback.
#include "host/menu_relay/menu_relay.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>

#include "host/host_announcement.h"
#include "host/host_test_util.h"
#include "host/menu_relay/host_starter.h"
#include "host/menu_relay/native_messages.h"
#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

struct Pipe {
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) == 0) {
      read = UniqueFd(fds[0]);
      write = UniqueFd(fds[1]);
    }
  }
  UniqueFd read, write;
};

TEST(NativeMessagesTest, MessagesGoWholeAndOversizedOrCutOnesAreRefused) {
  Pipe pipe;
  ASSERT_TRUE(writeNativeMessage(pipe.write.get(), R"({"a":"é"})"));
  ASSERT_TRUE(writeNativeMessage(pipe.write.get(), ""));
  EXPECT_EQ(readNativeMessage(pipe.read.get()), std::optional<std::string>(R"({"a":"é"})"));
  EXPECT_EQ(readNativeMessage(pipe.read.get()), std::optional<std::string>(""));
  EXPECT_FALSE(writeNativeMessage(pipe.write.get(), std::string(kMaxOutgoingMessage + 1, 'x')));

  const uint32_t huge = kMaxIncomingMessage + 1;
  ASSERT_EQ(::write(pipe.write.get(), &huge, sizeof huge), 4);
  EXPECT_EQ(readNativeMessage(pipe.read.get()), std::nullopt) << "longer than any snapshot";

  const uint32_t ten = 10;
  ASSERT_EQ(::write(pipe.write.get(), &ten, sizeof ten), 4);
  ASSERT_EQ(::write(pipe.write.get(), "abc", 3), 3);
  pipe.write = UniqueFd();
  EXPECT_EQ(readNativeMessage(pipe.read.get()), std::nullopt) << "cut short";
}

TEST(HostStarterTest, TheAddressAHostPrintsGivesItsPlaceAndToken) {
  struct Case {
    const char* line;
    const char* address;  // null: not an address of a host
    const char* token;
  } cases[] = {
      {"http://127.0.0.1:4714/lm:main?token=0123456789abcdef", "http://127.0.0.1:4714",
       "0123456789abcdef"},
      {"http://127.0.0.1:39001/lm:utils?x=1&token=abc_DEF-123", "http://127.0.0.1:39001",
       "abc_DEF-123"},
      {"http://127.0.0.1:4714/lm:main", nullptr, nullptr},
      {"http://example.com:4714/lm:main?token=0123456789abcdef", nullptr, nullptr},
      {"http://127.0.0.1:4714/lm:main?token=short", nullptr, nullptr},
      {"lumorel: cannot listen on 127.0.0.1:4714", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    std::optional<AnnouncedHost> host = parsePrintedAddress(c.line);
    if (!c.address) {
      EXPECT_FALSE(host) << c.line;
      continue;
    }
    ASSERT_TRUE(host) << c.line;
    EXPECT_EQ(host->address, c.address);
    EXPECT_EQ(host->token, c.token);
  }
}

TEST(HostAnnouncementTest, OnlyItsUsersPrivateFileIsBelievedAndItGoesWithItsHost) {
  TempFolder temp;
  const std::string folder = temp / "run/lumorel";
  ::mkdir((temp / "run").c_str(), 0700);
  std::string error;
  {
    std::optional<HostAnnouncement> announced = HostAnnouncement::write(folder, 4714, "tok12345", error);
    ASSERT_TRUE(announced) << error;
    struct stat st {};
    ASSERT_EQ(::stat((folder + "/host.json").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::optional<AnnouncedHost> read = readAnnouncement(folder);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->address, "http://127.0.0.1:4714");
    EXPECT_EQ(read->token, "tok12345");

    // A file others could have written is not believed.
    ::chmod((folder + "/host.json").c_str(), 0644);
    EXPECT_FALSE(readAnnouncement(folder));
    ::chmod((folder + "/host.json").c_str(), 0600);
  }
  EXPECT_FALSE(readAnnouncement(folder)) << "gone with its host";

  // A second host announces itself while the first runs: the first one's
  // end leaves the second's announcement.
  std::optional<HostAnnouncement> first = HostAnnouncement::write(folder, 1000, "first123", error);
  std::optional<HostAnnouncement> second = HostAnnouncement::write(folder, 2000, "second12", error);
  ASSERT_TRUE(first && second);
  first.reset();
  std::optional<AnnouncedHost> left = readAnnouncement(folder);
  ASSERT_TRUE(left);
  EXPECT_EQ(left->token, "second12");
}

// The relay between a browser's pipes and the host of HostTest.
class MenuRelayTest : public HostTest {
 protected:
  void SetUp() override {
    start();
    ::mkdir((run_ / "run").c_str(), 0700);
    places_ = {run_ / "run/lumorel", "/nonexistent/lumorel"};
  }

  void announce() {
    announcement_.reset();  // the same host's announcement again: the old one goes first
    std::string error;
    announcement_ = HostAnnouncement::write(places_.announcementFolder, port(), kTestToken, error);
    ASSERT_TRUE(announcement_) << error;
  }

  // Starts the relay on its own thread with the browser's pipes.
  void startRelay() {
    relayed_ = std::async(std::launch::async, [this] {
      return runMenuRelay(toRelay_.read.get(), fromRelay_.write.get(), places_);
    });
  }

  void send(const nlohmann::json& message) {
    ASSERT_TRUE(writeNativeMessage(toRelay_.write.get(), message.dump()));
  }

  nlohmann::json receive() {
    std::optional<std::string> text = readNativeMessage(fromRelay_.read.get());
    return text ? nlohmann::json::parse(*text, nullptr, false) : nlohmann::json();
  }

  TempFolder run_;
  RelayPlaces places_;
  std::optional<HostAnnouncement> announcement_;
  Pipe toRelay_, fromRelay_;
  std::future<int> relayed_;
};

const nlohmann::json kSnapshot = {
    {"page", "lm_links"},
    {"tab", 3},
    {"document", {{"url", "http://example.com/"}, {"title", "Ex"}, {"links", {"http://example.com/a.jpg"}}}}};

TEST_F(MenuRelayTest, TheAnnouncedHostTakesTheSnapshotAndItsNavigationsComeBack) {
  announce();
  startRelay();
  send({{"snapshot", kSnapshot}});
  nlohmann::json opened = receive();
  ASSERT_TRUE(opened.contains("open")) << opened.dump();
  const std::string address = opened["open"];
  const std::string prefix = "http://127.0.0.1:" + std::to_string(port()) + "/lm:lm_links?token=" +
                             kTestToken + "#menu=";
  ASSERT_EQ(address.substr(0, prefix.size()), prefix);
  const std::string id = address.substr(prefix.size());
  EXPECT_EQ(get("/.lumorel/menu/" + id).json["document"]["title"], "Ex");

  ASSERT_EQ(post("/.lumorel/menu/" + id + "/navigate", R"({"url": "http://example.com/a.jpg"})").status,
            200);
  EXPECT_EQ(receive(), (nlohmann::json{{"navigate", "http://example.com/a.jpg"}}));

  // The browser lets the relay go: it ends.
  toRelay_.write = UniqueFd();
  ASSERT_EQ(relayed_.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(relayed_.get(), 0);
}

TEST_F(MenuRelayTest, WhatGoesWrongIsToldToTheBrowser) {
  struct Case {
    const char* what;
    bool announced;
    nlohmann::json message;
    const char* told;
  } cases[] = {
      {"no snapshot", true, {{"page", "lm_links"}}, "the browser sent no snapshot"},
      {"a snapshot the host refuses", true, {{"snapshot", {{"page", "main"}}}},
       "Lumorel did not take the page"},
      {"no host, and none can be started", false, {{"snapshot", kSnapshot}},
       "Lumorel could not be started"},
  };
  for (const Case& c : cases) {
    Pipe in, out;
    toRelay_ = std::move(in);
    fromRelay_ = std::move(out);
    if (c.announced) announce();
    else announcement_.reset();
    startRelay();
    send(c.message);
    nlohmann::json told = receive();
    ASSERT_TRUE(told.contains("error")) << c.what << ": " << told.dump();
    EXPECT_NE(told["error"].get<std::string>().find(c.told), std::string::npos) << c.what;
    ASSERT_EQ(relayed_.wait_for(std::chrono::seconds(10)), std::future_status::ready) << c.what;
    EXPECT_EQ(relayed_.get(), 1) << c.what;
  }
}

}  // namespace
}  // namespace lumorel
