#include "platform/posix/preference_paths.h"

#include <gtest/gtest.h>

namespace lumorel {
namespace {

TEST(PreferencePaths, DatabaseFolderPrefersAnAbsoluteConfigHome) {
  struct Case {
    const char* configHome;
    const char* home;
    const char* expected;
  } cases[] = {
      {"/cfg", "/home/u", "/cfg/lumorel"},
      {nullptr, "/home/u", "/home/u/.config/lumorel"},
      {"", "/home/u", "/home/u/.config/lumorel"},
      {"relative/cfg", "/home/u", "/home/u/.config/lumorel"},
      {nullptr, nullptr, ""},
      {nullptr, "relative", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(preferenceDatabaseFolder(c.configHome, c.home), c.expected)
        << (c.configHome ? c.configHome : "(null)") << " " << (c.home ? c.home : "(null)");
}

TEST(PreferencePaths, ValueFilesGoToTheRuntimeFolderElseAPerUserTemporaryFolder) {
  EXPECT_EQ(valueFileFolder("/run/user/1000", "/var/tmp", 1000), "/run/user/1000/lumorel");
  EXPECT_EQ(valueFileFolder(nullptr, "/var/tmp", 1000), "/var/tmp/lumorel-1000");
  EXPECT_EQ(valueFileFolder("", nullptr, 42), "/tmp/lumorel-42");
  EXPECT_EQ(valueFileFolder("rel", "rel", 42), "/tmp/lumorel-42");
}

}  // namespace
}  // namespace lumorel
