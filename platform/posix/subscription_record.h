// What the offline store keeps of one subscription, and its text form: the
// file "subscription" in the subscription's folder.
#ifndef LUMOREL_PLATFORM_POSIX_SUBSCRIPTION_RECORD_H_
#define LUMOREL_PLATFORM_POSIX_SUBSCRIPTION_RECORD_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumorel {

// The fields of SubscriptionInfo that mean something to the offline store,
// and the address. A password is never kept.
struct SubscriptionRecord {
  std::string url;
  std::string friendlyName;
  uint32_t recurseLevels = 0;
  uint32_t webcrawlerFlags = 0;
  uint32_t schedule = 0;
  uint32_t taskFlags = 0;
  bool gleam = false;
  bool changesOnly = false;
  std::string userName;
  uint32_t maxSizeKB = 0;  // 0: only the store's own bound
  int64_t created = 0;     // seconds since 1970, UTC

  bool operator==(const SubscriptionRecord&) const = default;
};

// One "name=value" line per field, in the order above ("url",
// "friendly_name", "recurse_levels", "webcrawler_flags", "schedule",
// "task_flags", "gleam", "changes_only", "user_name", "max_size_kb",
// "created"); numbers in decimal, yes/no as 1/0. In values, '\' is written
// "\\", a line feed "\n", a carriage return "\r" and any other control byte
// "\xHH", so a value never spans lines.
std::string formatSubscriptionRecord(const SubscriptionRecord& record);

// The record of formatSubscriptionRecord's text. Unknown names are passed
// over and missing ones keep their defaults; nullopt when the address is
// missing or empty, or a number, a yes/no or an escape is malformed.
std::optional<SubscriptionRecord> parseSubscriptionRecord(std::string_view text);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_SUBSCRIPTION_RECORD_H_
