// The browser's subscription manager (ISubscriptionMgr) behind the engine's
// SubscriptionManager: made anew for each call, as the system keeps the
// subscriptions itself. On a system without one every call fails, and the
// control keeps no offline copy.
#ifndef LUMOREL_PLATFORM_WIN32_WIN32_SUBSCRIPTION_MANAGER_H_
#define LUMOREL_PLATFORM_WIN32_WIN32_SUBSCRIPTION_MANAGER_H_

#include <windows.h>

#include <functional>

#include "platform/subscription_manager.h"

namespace lumorel {

// UI thread only, on a thread that has initialised COM.
class Win32SubscriptionManager final : public SubscriptionManager {
 public:
  // `window` gives the control's window (null when it has none), which the
  // manager's calls are made on behalf of.
  explicit Win32SubscriptionManager(std::function<HWND()> window) : window_(std::move(window)) {}

  void getDefaultInfo(int32_t type, SubscriptionInfo& info) override;
  bool createSubscription(std::string_view url, std::string_view friendlyName, uint32_t flags,
                          int32_t type, const SubscriptionInfo& info) override;
  bool deleteSubscription(std::string_view url) override;
  bool updateSubscription(std::string_view url) override;

  // True when the system has a subscription manager.
  static bool available();

 private:
  const std::function<HWND()> window_;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_WIN32_SUBSCRIPTION_MANAGER_H_
