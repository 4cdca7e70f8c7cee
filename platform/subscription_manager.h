// The browser's subscription manager: keeps offline copies of web pages and
// what they link to. Only the browser of the Windows module has one.
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
