#include "control/link_scraping.h"

#include "control/enum_img.h"
#include "control/script_text.h"
#include "platform/subscription_manager.h"

namespace lumorel {
namespace {

// Which fields of a subscription record the manager is to fill or take.
constexpr uint32_t kAllFields = 0xEF7F;
constexpr uint32_t kAllButChannelFlags = 0xE77F;
constexpr uint32_t kManualSchedule = 4;            // SUBSSCHED_MANUAL
constexpr uint32_t kCrawlPicturesUnstuck = 0x83;   // don't make sticky, get images, ignore robots.txt
constexpr uint32_t kStartIdleAndConnected = 0x410; // start only if idle, run if connected

}  // namespace

std::string lastUrlSegment(std::string_view url) {
  if (scriptLength(url) > 262) return "";
  // Separators are ASCII, so bytes stand for characters here: no byte of a
  // longer UTF-8 character is a separator.
  for (std::size_t i = url.size() >= 2 ? url.size() - 2 : 0; i >= 1; --i) {
    if (url[i] == '/' || url[i] == '\\') return std::string(url.substr(i + 1));
  }
  return std::string(url);
}

void EnumImg::ScrapeUrl(std::string_view bstrUrl, uint32_t dwHowDeep, int32_t bStartUpdate) {
  SubscriptionManager* manager = env_.subscriptions;
  if (!manager) return;
  SubscriptionInfo info;
  info.updateFlags = kAllFields;
  manager->getDefaultInfo(kSubscriptionTypeUrl, info);

  const std::string friendlyName = "Image links in " + lastUrlSegment(bstrUrl);
  info.updateFlags = kAllButChannelFlags;
  info.schedule = kManualSchedule;
  info.zeroTrigger = true;
  info.recurseLevels = dwHowDeep;
  info.webcrawlerFlags = kCrawlPicturesUnstuck;
  info.gleam = true;
  info.changesOnly = false;
  info.userName.clear();
  info.password.clear();
  info.friendlyName = friendlyName;
  info.subType = kSubscriptionTypeUrl;
  info.taskFlags = kStartIdleAndConnected;

  bool created = manager->createSubscription(bstrUrl, friendlyName, kCreateSubscriptionNoUi,
                                             kSubscriptionTypeUrl, info);
  if (!created) {
    // Whatever the address had is replaced; the second subscription is
    // named by the address itself.
    manager->deleteSubscription(bstrUrl);
    created = manager->createSubscription(bstrUrl, bstrUrl, kCreateSubscriptionNoUi,
                                          kSubscriptionTypeUrl, info);
  }
  if (created && bStartUpdate != 0) manager->updateSubscription(bstrUrl);
}

}  // namespace lumorel
