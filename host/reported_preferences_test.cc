#include "host/reported_preferences.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "platform/posix/sqlite_preference_backend.h"
#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

TEST(ReportedPreferences, TheFirstFailedWriteIsToldOnceWithThePlace) {
  TempFolder tmp;
  SqlitePreferenceBackend store(tmp / "config", tmp / "run");
  std::ostringstream out;
  ReportedPreferences reported(store, out);
  EXPECT_TRUE(reported.writeValue("Timer", "1"));
  EXPECT_TRUE(reported.replaceFile("+a.txt", "x"));
  EXPECT_EQ(out.str(), "") << "nothing to tell while the store works";

  // The value folder replaced by a file: each write fails, one is told.
  ASSERT_TRUE(reported.removeFile("+a.txt"));
  ASSERT_EQ(::rmdir((tmp / "run").c_str()), 0);
  tmp.write("run", "not a folder");
  EXPECT_FALSE(reported.replaceFile("+a.txt", "x"));
  EXPECT_FALSE(reported.replaceFile("+b.txt", "y"));
  const std::string told = out.str();
  EXPECT_NE(told.find("preferences cannot be saved"), std::string::npos) << told;
  EXPECT_NE(told.find(tmp / "run"), std::string::npos) << told;
  EXPECT_EQ(told.find('\n'), told.size() - 1) << "one line: " << told;
}

}  // namespace
}  // namespace lumorel
