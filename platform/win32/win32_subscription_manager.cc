#include "platform/win32/win32_subscription_manager.h"

#include <mstask.h>
#include <oleauto.h>
#include <subsmgr.h>

#include <cstring>
#include <string>

#include "platform/win32/win32_text.h"

namespace lumorel {
namespace {

std::wstring wide(std::string_view text) { return ansiToWide(text).value_or(L""); }

std::string narrow(BSTR text) {
  return wideToAnsi(std::wstring_view(text ? text : L"", SysStringLen(text))).value_or("");
}

// The system's subscription manager and its interface; the import
// libraries of the cross compiler do not carry them.
constexpr CLSID kSubscriptionMgrClsid = {
    0xABBE31D0, 0x6DAE, 0x11D0, {0xBE, 0xCA, 0x00, 0xC0, 0x4F, 0xD9, 0x40, 0xBE}};
constexpr IID kSubscriptionMgrIid = {
    0x085FB2C0, 0x0DF8, 0x11D1, {0x8F, 0x4B, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x3F}};

// The system's manager with a reference the caller releases; null when the
// system has none.
ISubscriptionMgr* makeManager() {
  ISubscriptionMgr* manager = nullptr;
  if (FAILED(CoCreateInstance(kSubscriptionMgrClsid, nullptr, CLSCTX_INPROC_SERVER,
                              kSubscriptionMgrIid, reinterpret_cast<void**>(&manager)))) {
    return nullptr;
  }
  return manager;
}

}  // namespace

bool Win32SubscriptionManager::available() {
  ISubscriptionMgr* manager = makeManager();
  if (!manager) return false;
  manager->Release();
  return true;
}

void Win32SubscriptionManager::getDefaultInfo(int32_t type, SubscriptionInfo& info) {
  ISubscriptionMgr* manager = makeManager();
  if (!manager) return;
  SUBSCRIPTIONINFO system = {};
  system.cbSize = sizeof system;
  system.fUpdateFlags = info.updateFlags;
  if (SUCCEEDED(manager->GetDefaultInfo(static_cast<SUBSCRIPTIONTYPE>(type), &system))) {
    info.schedule = system.schedule;
    info.recurseLevels = system.dwRecurseLevels;
    info.webcrawlerFlags = system.fWebcrawlerFlags;
    info.mailNotification = system.bMailNotification != FALSE;
    info.gleam = system.bGleam != FALSE;
    info.changesOnly = system.bChangesOnly != FALSE;
    info.needPassword = system.bNeedPassword != FALSE;
    info.channelFlags = system.fChannelFlags;
    info.userName = narrow(system.bstrUserName);
    info.friendlyName = narrow(system.bstrFriendlyName);
    info.maxSizeKB = system.dwMaxSizeKB;
    info.taskFlags = system.fTaskFlags;
  }
  SysFreeString(system.bstrUserName);
  SysFreeString(system.bstrPassword);
  SysFreeString(system.bstrFriendlyName);
  manager->Release();
}

bool Win32SubscriptionManager::createSubscription(std::string_view url,
                                                  std::string_view friendlyName, uint32_t flags,
                                                  int32_t type, const SubscriptionInfo& info) {
  ISubscriptionMgr* manager = makeManager();
  if (!manager) return false;
  TASK_TRIGGER trigger = {};  // every field 0, as a schedule updated only when asked
  SUBSCRIPTIONINFO system = {};
  system.cbSize = sizeof system;
  system.fUpdateFlags = info.updateFlags;
  system.schedule = static_cast<SUBSCRIPTIONSCHEDULE>(info.schedule);
  std::memcpy(&system.customGroupCookie, info.customGroupCookie.data(), sizeof(CLSID));
  system.pTrigger = info.zeroTrigger ? &trigger : nullptr;
  system.dwRecurseLevels = info.recurseLevels;
  system.fWebcrawlerFlags = info.webcrawlerFlags;
  system.bMailNotification = info.mailNotification;
  system.bGleam = info.gleam;
  system.bChangesOnly = info.changesOnly;
  system.bNeedPassword = info.needPassword;
  system.fChannelFlags = info.channelFlags;
  system.bstrUserName = SysAllocString(wide(info.userName).c_str());
  system.bstrPassword = SysAllocString(wide(info.password).c_str());
  system.bstrFriendlyName = SysAllocString(wide(info.friendlyName).c_str());
  system.dwMaxSizeKB = info.maxSizeKB;
  system.subType = static_cast<SUBSCRIPTIONTYPE>(info.subType);
  system.fTaskFlags = info.taskFlags;
  system.dwReserved = info.reserved;
  const HRESULT hr = manager->CreateSubscription(window_(), wide(url).c_str(),
                                                 wide(friendlyName).c_str(), flags,
                                                 static_cast<SUBSCRIPTIONTYPE>(type), &system);
  SysFreeString(system.bstrUserName);
  SysFreeString(system.bstrPassword);
  SysFreeString(system.bstrFriendlyName);
  manager->Release();
  return SUCCEEDED(hr);
}

bool Win32SubscriptionManager::deleteSubscription(std::string_view url) {
  ISubscriptionMgr* manager = makeManager();
  if (!manager) return false;
  const HRESULT hr = manager->DeleteSubscription(wide(url).c_str(), window_());
  manager->Release();
  return SUCCEEDED(hr);
}

bool Win32SubscriptionManager::updateSubscription(std::string_view url) {
  ISubscriptionMgr* manager = makeManager();
  if (!manager) return false;
  const HRESULT hr = manager->UpdateSubscription(wide(url).c_str());
  manager->Release();
  return SUCCEEDED(hr);
}

}  // namespace lumorel
