#include "host/menu_relay/menu_relay.h"

#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

#include <nlohmann/json.hpp>

#include "host/menu_relay/host_client.h"
#include "host/menu_relay/host_starter.h"
#include "host/menu_relay/native_messages.h"

namespace lumorel {
namespace {

using nlohmann::json;

void say(int out, const json& message) { writeNativeMessage(out, message.dump()); }

// The page's address with the token, which the host trades for its cookie
// at the first visit: "/lm:page#menu=id" becomes "ADDRESS/lm:page?token=T#menu=id".
std::string pageAddress(const AnnouncedHost& host, const std::string& page) {
  const std::size_t hash = page.find('#');
  const std::string path = page.substr(0, hash);
  const std::string fragment = hash == std::string::npos ? "" : page.substr(hash);
  return host.address + path + "?token=" + host.token + fragment;
}

// Whether the browser has let the relay go: its end of `in` closed.
class BrowserWatch {
 public:
  explicit BrowserWatch(int in) : gone_(std::make_shared<std::atomic<bool>>(false)) {
    // Detached: it may sit in read() until the process ends.
    std::thread([in, gone = gone_] {
      char byte;
      while (::read(in, &byte, 1) > 0) {
      }
      gone->store(true);
    }).detach();
  }
  bool gone() const { return gone_->load(); }

 private:
  std::shared_ptr<std::atomic<bool>> gone_;
};

}  // namespace

int runMenuRelay(int in, int out, const RelayPlaces& places) {
  std::optional<std::string> message = readNativeMessage(in);
  if (!message) return 1;
  json parsed = json::parse(*message, nullptr, false);
  if (!parsed.is_object() || !parsed.contains("snapshot") || !parsed["snapshot"].is_object()) {
    say(out, json{{"error", "the browser sent no snapshot of the page"}});
    return 1;
  }
  const std::string snapshot = parsed["snapshot"].dump();

  std::optional<AnnouncedHost> host = readAnnouncement(places.announcementFolder);
  RelayAnswer answer;
  if (host) answer = postToHost(*host, "/.lumorel/menu", snapshot);
  if (answer.status == 0) {
    // No host, or the one announced has gone without a word.
    std::string error;
    host = startHost(places.hostBinary, error);
    if (!host) {
      say(out, json{{"error", "Lumorel could not be started: " + error}});
      return 1;
    }
    answer = postToHost(*host, "/.lumorel/menu", snapshot);
  }
  json body = json::parse(answer.body, nullptr, false);
  if (answer.status != 200 || !body.is_object() || !body.contains("id") ||
      !body["id"].is_string() || !body.contains("page") || !body["page"].is_string()) {
    const std::string why = body.is_object() && body.contains("error") && body["error"].is_string()
                                ? body["error"].get<std::string>()
                                : "no answer";
    say(out, json{{"error", "Lumorel did not take the page: " + why}});
    return 1;
  }
  say(out, json{{"open", pageAddress(*host, body["page"].get<std::string>())}});

  BrowserWatch browser(in);
  followHostEvents(
      *host, "/.lumorel/menu/" + body["id"].get<std::string>() + "/events",
      [out](const std::string& event, const std::string& data) {
        if (event != "navigate") return;
        json navigation = json::parse(data, nullptr, false);
        if (navigation.is_object() && navigation.contains("url") && navigation["url"].is_string())
          say(out, json{{"navigate", navigation["url"]}});
      },
      [&browser] { return browser.gone(); });
  return 0;
}

}  // namespace lumorel
