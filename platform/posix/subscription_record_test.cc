#include "platform/posix/subscription_record.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace lumorel {
namespace {

SubscriptionRecord fullRecord() {
  return {.url = "http://example.com/a b?x=1&y=\\2",
          .friendlyName = "Image links in line1\nline2=\r\\ \x01 \x7f \xC3\xA9",
          .recurseLevels = UINT32_MAX,
          .webcrawlerFlags = 0x83,
          .schedule = 4,
          .taskFlags = 0x410,
          .gleam = true,
          .changesOnly = false,
          .userName = "me",
          .maxSizeKB = 262144,
          .created = 1700000000};
}

TEST(SubscriptionRecord, WritesOneLinePerFieldInItsOrder) {
  EXPECT_EQ(formatSubscriptionRecord(fullRecord()),
            "url=http://example.com/a b?x=1&y=\\\\2\n"
            "friendly_name=Image links in line1\\nline2=\\r\\\\ \\x01 \\x7f \xC3\xA9\n"
            "recurse_levels=4294967295\n"
            "webcrawler_flags=131\n"
            "schedule=4\n"
            "task_flags=1040\n"
            "gleam=1\n"
            "changes_only=0\n"
            "user_name=me\n"
            "max_size_kb=262144\n"
            "created=1700000000\n");
}

TEST(SubscriptionRecord, ReadsBackWhatItWrote) {
  const SubscriptionRecord records[] = {
      fullRecord(),
      {.url = "https://h/", .created = -1},
      {.url = std::string("http://h/\0x", 11), .friendlyName = std::string(1, '\0')},
  };
  for (const SubscriptionRecord& record : records) {
    EXPECT_EQ(parseSubscriptionRecord(formatSubscriptionRecord(record)),
              std::optional<SubscriptionRecord>(record))
        << formatSubscriptionRecord(record);
  }
}

TEST(SubscriptionRecord, PassesOverUnknownNamesAndKeepsDefaults) {
  std::optional<SubscriptionRecord> record =
      parseSubscriptionRecord("# comment\nnew_field=7\nurl=http://h/x\nno equals sign\n");
  ASSERT_TRUE(record);
  EXPECT_EQ(*record, SubscriptionRecord{.url = "http://h/x"});
}

TEST(SubscriptionRecord, RefusesMalformedRecords) {
  const char* texts[] = {
      "",
      "friendly_name=no address\n",
      "url=\n",
      "url=http://h/\nrecurse_levels=-1\n",
      "url=http://h/\nrecurse_levels=4294967296\n",
      "url=http://h/\nrecurse_levels=1x\n",
      "url=http://h/\nrecurse_levels=\n",
      "url=http://h/\ngleam=yes\n",
      "url=http://h/\ncreated=1.5\n",
      "url=http://h/\nuser_name=a\\\n",
      "url=http://h/\nuser_name=\\q\n",
      "url=http://h/\nuser_name=\\x4\n",
      "url=http://h/\nuser_name=\\xg0\n",
  };
  for (const char* text : texts) EXPECT_EQ(parseSubscriptionRecord(text), std::nullopt) << text;
}

}  // namespace
}  // namespace lumorel
