#include "control/preference_store.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/posix/sqlite_preference_backend.h"
#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

class PreferenceStoreTest : public ::testing::Test {
 protected:
  std::string fileFolder() const { return tmp_ / "run"; }

  TempFolder tmp_;
  SqlitePreferenceBackend backend_{tmp_ / "config/lumorel", fileFolder()};
  PreferenceStore store_{backend_};
};

TEST_F(PreferenceStoreTest, NamedValuesRoundTripUpToTheReadLimit) {
  struct Case {
    std::string key;
    std::string value;
    std::string reads;
  } cases[] = {
      {"Timer", "abc", "abc"},
      {"Timer", "", ""},  // the value stays, now empty
      {"", "default", "default"},
      {"Long259", std::string(259, 'x'), std::string(259, 'x')},
      {"Long260", std::string(260, 'x'), ""},  // stored whole, too long to read back
      {"Long300", std::string(300, 'y'), ""},
      {std::string(259, 'k'), "longest key", "longest key"},
      {"Cut", std::string("ab\0cd", 5), "ab"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(store_.write(c.key, c.value));
    EXPECT_EQ(store_.read(c.key), c.reads) << c.key;
  }
  EXPECT_EQ(backend_.readValue("Timer"), "") << "an empty value is still a value";
  EXPECT_EQ(backend_.readValue("Long300"), std::string(300, 'y'));
  EXPECT_EQ(store_.read("NeverWritten"), "");
  EXPECT_EQ(listNames(fileFolder()), std::vector<std::string>{}) << "no named value made a file";
}

TEST_F(PreferenceStoreTest, AKeyTooLongIsRefused) {
  const std::string key(260, 'k');
  EXPECT_TRUE(store_.write(key, "v"));
  EXPECT_EQ(store_.read(key), "");
  EXPECT_EQ(backend_.readValue(key), std::nullopt) << "nothing was written";
}

TEST_F(PreferenceStoreTest, PlusKeysAreFilesOfTheValueZeroPadded) {
  struct Case {
    std::string value;
    std::string bytes;  // the whole file
  } cases[] = {
      {"abc", std::string("abc\0\0\0\0\0", 8)},            // 2n + 2 = 8
      {"\xC3\xA9", std::string("\xC3\xA9\0\0", 4)},        // one UTF-16 unit in two bytes
      {"\xF0\x9F\x98\x80", std::string("\xF0\x9F\x98\x80\0\0", 6)},  // two units in four
      {"\xE6\x97\xA5\xE6\x9C\xAC", std::string("\xE6\x97\xA5\xE6\x9C\xAC\0", 7)},  // never cut
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(store_.write("+x", c.value));
    EXPECT_EQ(readFile(fileFolder() + "/+x.txt"), c.bytes);
    EXPECT_EQ(store_.read("+x"), c.value);
  }
  const std::string many(100000, 'u');
  EXPECT_TRUE(store_.write("+lmlkimg", many));
  EXPECT_EQ(store_.read("+lmlkimg"), many) << "a file key has no read limit";
  EXPECT_EQ(backend_.readValue("+x"), std::nullopt) << "a file key never goes to the values";

  EXPECT_TRUE(store_.write("+x", ""));
  EXPECT_EQ(listNames(fileFolder()), std::vector<std::string>{"+lmlkimg.txt"});
  EXPECT_EQ(store_.read("+x"), "");
}

TEST_F(PreferenceStoreTest, AFileWithoutAZeroByteIsReadWhole) {
  ASSERT_TRUE(backend_.replaceFile("+other.txt", "written elsewhere"));
  EXPECT_EQ(store_.read("+other"), "written elsewhere");
}

TEST_F(PreferenceStoreTest, PlusKeysThatWouldLeaveTheFolderAreRefused) {
  const std::string outside = tmp_.write("outside.txt", "keep");
  for (const char* key : {"+../outside", "+a/b", "+a\\b", "+..", "+x..y"}) {
    EXPECT_TRUE(store_.write(key, "overwritten"));
    EXPECT_EQ(store_.read(key), "") << key;
  }
  EXPECT_EQ(readFile(outside), "keep");
  EXPECT_EQ(listNames(fileFolder()), std::vector<std::string>{});
}

// A store that cannot keep a value says so, for named values and for "+"
// files alike, and the backend tells where and why.
TEST(PreferenceStoreFailure, AWriteTheStoreCannotKeepIsAFailureThatNamesThePlace) {
  struct Case {
    const char* what;
    const char* key;
    // Spoils the store at `config` (the database's folder) or `run` (the
    // value files' folder).
    std::function<void(const TempFolder&)> spoil;
    const char* place;  // a part of lastFailure()
  } cases[] = {
      {"a folder in the database's place", "Timer",
       [](const TempFolder& t) { t.makeFolder("config/preferences.sqlite"); },
       "config/preferences.sqlite"},
      {"a database that is no database", "Timer",
       [](const TempFolder& t) { t.write("config/preferences.sqlite", std::string(4096, 'j')); },
       "config/preferences.sqlite"},
      {"a file in the database folder's place", "Timer",
       [](const TempFolder& t) { t.write("config", "not a folder"); }, "config"},
      {"a file in the value folder's place", "+links",
       [](const TempFolder& t) { t.write("run", "not a folder"); }, "run"},
  };
  for (const Case& c : cases) {
    TempFolder tmp;
    c.spoil(tmp);
    SqlitePreferenceBackend backend(tmp / "config", tmp / "run");
    PreferenceStore store(backend);
    EXPECT_FALSE(store.write(c.key, "value")) << c.what;
    EXPECT_EQ(store.read(c.key), "") << c.what;
    const std::string failure = backend.lastFailure();
    EXPECT_NE(failure.find(tmp / c.place), std::string::npos) << c.what << ": " << failure;
  }
}

}  // namespace
}  // namespace lumorel
