// The browser's subscription manager: keeps offline copies of web pages and
// what they link to. On Windows the browser's own; on POSIX the offline
// store (platform/posix/offline_store.h).
#ifndef LUMOREL_PLATFORM_SUBSCRIPTION_MANAGER_H_
#define LUMOREL_PLATFORM_SUBSCRIPTION_MANAGER_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumorel {

// Subscription kinds and creation flags, with the browser's values.
inline constexpr int32_t kSubscriptionTypeUrl = 0;      // SUBSTYPE_URL
inline constexpr uint32_t kCreateSubscriptionNoUi = 4;  // CREATESUBS_NOUI

// The fields of SubscriptionInfo that its updateFlags name, with the
// browser's values.
inline constexpr uint32_t kSubscriptionInfoSchedule = 0x0001;          // SUBSINFO_SCHEDULE
inline constexpr uint32_t kSubscriptionInfoRecurse = 0x0002;           // SUBSINFO_RECURSE
inline constexpr uint32_t kSubscriptionInfoWebcrawl = 0x0004;          // SUBSINFO_WEBCRAWL
inline constexpr uint32_t kSubscriptionInfoMailNotification = 0x0008;  // SUBSINFO_MAILNOT
inline constexpr uint32_t kSubscriptionInfoMaxSizeKB = 0x0010;         // SUBSINFO_MAXSIZEKB
inline constexpr uint32_t kSubscriptionInfoUser = 0x0020;              // SUBSINFO_USER
inline constexpr uint32_t kSubscriptionInfoPassword = 0x0040;          // SUBSINFO_PASSWORD
inline constexpr uint32_t kSubscriptionInfoTaskFlags = 0x0100;         // SUBSINFO_TASKFLAGS
inline constexpr uint32_t kSubscriptionInfoGleam = 0x0200;             // SUBSINFO_GLEAM
inline constexpr uint32_t kSubscriptionInfoChangesOnly = 0x0400;       // SUBSINFO_CHANGESONLY
inline constexpr uint32_t kSubscriptionInfoChannelFlags = 0x0800;      // SUBSINFO_CHANNELFLAGS
inline constexpr uint32_t kSubscriptionInfoFriendlyName = 0x2000;      // SUBSINFO_FRIENDLYNAME
inline constexpr uint32_t kSubscriptionInfoNeedPassword = 0x4000;      // SUBSINFO_NEEDPASSWORD
inline constexpr uint32_t kSubscriptionInfoType = 0x8000;              // SUBSINFO_TYPE

// The webcrawler flags of SubscriptionInfo, with the browser's values.
inline constexpr uint32_t kWebcrawlDontMakeSticky = 0x01;   // WEBCRAWL_DONT_MAKE_STICKY
inline constexpr uint32_t kWebcrawlGetImages = 0x02;        // WEBCRAWL_GET_IMAGES
inline constexpr uint32_t kWebcrawlLinksElsewhere = 0x20;   // WEBCRAWL_LINKS_ELSEWHERE
inline constexpr uint32_t kWebcrawlIgnoreRobotsTxt = 0x80;  // WEBCRAWL_IGNORE_ROBOTSTXT

// The schedule of a subscription that is updated only when asked.
inline constexpr uint32_t kSubscriptionScheduleManual = 4;  // SUBSSCHED_MANUAL

// One subscription record, field for field in the browser's order. The
// manager fills it with its defaults; the caller changes what it needs.
struct SubscriptionInfo {
  uint32_t updateFlags = 0;  // which fields the manager is to take
  uint32_t schedule = 0;
  std::array<uint8_t, 16> customGroupCookie{};
  bool zeroTrigger = false;  // true: a schedule trigger with every field 0
  uint32_t recurseLevels = 0;
  uint32_t webcrawlerFlags = 0;
  bool mailNotification = false;
  bool gleam = false;
  bool changesOnly = false;
  bool needPassword = false;
  uint32_t channelFlags = 0;
  std::string userName;
  std::string password;
  std::string friendlyName;
  uint32_t maxSizeKB = 0;
  int32_t subType = 0;
  uint32_t taskFlags = 0;
  uint32_t reserved = 0;
};

// Called on the control's UI thread only.
class SubscriptionManager {
 public:
  virtual ~SubscriptionManager() = default;

  // Fills `info` with the defaults for a subscription of `type`, for the
  // fields that `info.updateFlags` names.
  virtual void getDefaultInfo(int32_t type, SubscriptionInfo& info) = 0;

  // Creates a subscription for `url` without asking the user (with
  // kCreateSubscriptionNoUi in `flags`). False when it could not.
  [[nodiscard]] virtual bool createSubscription(std::string_view url,
                                                std::string_view friendlyName, uint32_t flags,
                                                int32_t type, const SubscriptionInfo& info) = 0;

  // Removes the subscription for `url`. False when there was none or it
  // could not be removed.
  virtual bool deleteSubscription(std::string_view url) = 0;

  // Starts the download of `url`'s subscription in the background and
  // returns. False when it could not be started.
  virtual bool updateSubscription(std::string_view url) = 0;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_SUBSCRIPTION_MANAGER_H_
