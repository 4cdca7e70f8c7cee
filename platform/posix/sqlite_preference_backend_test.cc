#include "platform/posix/sqlite_preference_backend.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_support/temp_folder.h"

namespace lumorel {
namespace {

class SqlitePreferenceBackendTest : public ::testing::Test {
 protected:
  std::string dbFolder() const { return tmp_ / "config/lumorel"; }
  std::string fileFolder() const { return tmp_ / "run"; }

  // Runs the probe program on the same store; returns what it printed, or
  // "<failed>" when it did not exit with 0.
  std::string probe(const std::vector<std::string>& args) const {
    std::string command = std::string(LUMOREL_PREFERENCE_PROBE) + " '" + dbFolder() + "' '" +
                          fileFolder() + "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    FILE* out = popen(command.c_str(), "r");
    if (!out) return "<failed>";
    std::string printed;
    char buffer[256];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, out)) printed.append(buffer, got);
    const int status = pclose(out);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? printed : "<failed>";
  }

  TempFolder tmp_;
  SqlitePreferenceBackend store_{dbFolder(), fileFolder()};
};

TEST_F(SqlitePreferenceBackendTest, NamedValuesRoundTripWhole) {
  EXPECT_EQ(store_.readValue("Timer"), std::nullopt) << "never written";
  ASSERT_TRUE(store_.writeValue("Timer", "abc"));
  EXPECT_EQ(store_.readValue("Timer"), "abc");
  EXPECT_EQ(store_.readValue("TIMER"), "abc") << "keys compare without ASCII case";
  ASSERT_TRUE(store_.writeValue("timer", ""));
  EXPECT_EQ(store_.readValue("Timer"), "") << "the empty text is a value, not an absence";
  const std::string longValue(5000, 'v');
  ASSERT_TRUE(store_.writeValue("", longValue));
  EXPECT_EQ(store_.readValue(""), longValue) << "the empty key is a key like any other";
  EXPECT_EQ(store_.readValue("Timer"), "");
}

TEST_F(SqlitePreferenceBackendTest, TheDatabaseFolderIsMadeForTheUserAlone) {
  ASSERT_TRUE(store_.writeValue("k", "v"));
  struct stat st {};
  ASSERT_EQ(stat(dbFolder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(stat((dbFolder() + "/preferences.sqlite").c_str(), &st), 0);
}

TEST_F(SqlitePreferenceBackendTest, AnUnreachableStoreReadsNothingAndWritesNothing) {
  tmp_.write("blocked", "a file where the folder should be");
  SqlitePreferenceBackend blocked(tmp_ / "blocked/lumorel", tmp_ / "blocked/run");
  EXPECT_FALSE(blocked.writeValue("k", "v"));
  EXPECT_EQ(blocked.readValue("k"), std::nullopt);
  EXPECT_FALSE(blocked.replaceFile("+x.txt", "abc"));
  EXPECT_EQ(blocked.readFile("+x.txt"), std::nullopt);
}

TEST_F(SqlitePreferenceBackendTest, ValuesPersistAndAreSharedBetweenProcesses) {
  ASSERT_TRUE(store_.writeValue("Main.Width", "800"));
  EXPECT_EQ(probe({"get", "main.width"}), "800") << "written here, read by another process";
  EXPECT_EQ(probe({"put", "Folder", "/pictures/new"}), "");
  EXPECT_EQ(store_.readValue("Folder"), "/pictures/new") << "written there, read here";
  EXPECT_EQ(probe({"get", "Missing"}), "<none>");

  SqlitePreferenceBackend reopened(dbFolder(), fileFolder());
  EXPECT_EQ(reopened.readValue("Main.Width"), "800");
}

TEST_F(SqlitePreferenceBackendTest, WritersInSeveralProcessesAtOnceLoseNothing) {
  ASSERT_TRUE(store_.writeValue("warm", "1"));  // the database exists before the race
  std::vector<FILE*> writers;
  for (const char* prefix : {"a", "b", "c"}) {
    std::string command = std::string(LUMOREL_PREFERENCE_PROBE) + " '" + dbFolder() + "' '" +
                          fileFolder() + "' fill " + prefix + " 200";
    writers.push_back(popen(command.c_str(), "r"));
  }
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(store_.writeValue("d" + std::to_string(i), "x"));
  for (FILE* writer : writers) {
    ASSERT_NE(writer, nullptr);
    const int status = pclose(writer);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer gave up";
  }
  for (const char* prefix : {"a", "b", "c"})
    for (int i = 0; i < 200; i += 7)
      EXPECT_EQ(store_.readValue(prefix + std::to_string(i)), std::to_string(i));
  EXPECT_EQ(store_.readValue("d199"), "x");
}

TEST_F(SqlitePreferenceBackendTest, ValueFilesAreReplacedWholeAndRemoved) {
  EXPECT_EQ(store_.readFile("+x.txt"), std::nullopt);
  EXPECT_TRUE(store_.removeFile("+x.txt")) << "a missing file is gone already";
  ASSERT_TRUE(store_.replaceFile("+x.txt", std::string("abc\0\0\0\0\0", 8)));
  EXPECT_EQ(store_.readFile("+x.txt"), std::string("abc\0\0\0\0\0", 8));
  ASSERT_TRUE(store_.replaceFile("+x.txt", "z"));
  EXPECT_EQ(readFile(fileFolder() + "/+x.txt"), "z");
  EXPECT_EQ(listNames(fileFolder()), std::vector<std::string>{"+x.txt"}) << "no new file left";
  EXPECT_TRUE(store_.removeFile("+x.txt"));
  EXPECT_EQ(store_.readFile("+x.txt"), std::nullopt);
  struct stat st {};
  ASSERT_EQ(stat(fileFolder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(SqlitePreferenceBackendTest, NamesThatLeaveTheFolderAreRefused) {
  tmp_.write("outside.txt", "secret");
  for (const char* name : {"", ".", "..", "../outside.txt", "a/b.txt"}) {
    EXPECT_EQ(store_.readFile(name), std::nullopt) << name;
    EXPECT_FALSE(store_.replaceFile(name, "x")) << name;
    EXPECT_FALSE(store_.removeFile(name)) << name;
  }
  EXPECT_EQ(readFile(tmp_ / "outside.txt"), "secret");
}

// Someone who can write into the folder plants a link under a value file's
// name: reading does not follow it, and writing replaces the link, leaving
// the file it points at untouched.
TEST_F(SqlitePreferenceBackendTest, ALinkUnderAValueFileNameIsNeverFollowed) {
  const std::string target = tmp_.write("precious.jpg", "picture bytes");
  tmp_.makeFolder("run");
  ASSERT_EQ(chmod(fileFolder().c_str(), 0700), 0);
  ASSERT_EQ(symlink(target.c_str(), (fileFolder() + "/+lmlkimg.txt").c_str()), 0);
  EXPECT_EQ(store_.readFile("+lmlkimg.txt"), std::nullopt);
  ASSERT_TRUE(store_.replaceFile("+lmlkimg.txt", "new"));
  EXPECT_EQ(readFile(target), "picture bytes");
  EXPECT_EQ(readFile(fileFolder() + "/+lmlkimg.txt"), "new");
}

TEST_F(SqlitePreferenceBackendTest, AFolderOfSomeoneElseIsNotUsed) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a folder away";
  const std::string folder = tmp_.makeFolder("run");
  tmp_.write("run/+x.txt", "planted");
  ASSERT_EQ(chown(folder.c_str(), 12345, 12345), 0);
  EXPECT_EQ(store_.readFile("+x.txt"), std::nullopt);
  EXPECT_FALSE(store_.replaceFile("+x.txt", "mine"));
  EXPECT_EQ(readFile(folder + "+x.txt"), "planted");
}

TEST_F(SqlitePreferenceBackendTest, AFileOfSomeoneElseReadsAsMissing) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a file away";
  tmp_.makeFolder("run");
  const std::string planted = tmp_.write("run/+x.txt", "planted");
  ASSERT_EQ(chown(planted.c_str(), 12345, 12345), 0);
  EXPECT_EQ(store_.readFile("+x.txt"), std::nullopt);
}

TEST_F(SqlitePreferenceBackendTest, AnOpenFolderOfTheUsersOwnIsNarrowed) {
  const std::string folder = tmp_.makeFolder("run");
  ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
  ASSERT_TRUE(store_.replaceFile("+x.txt", "v"));
  struct stat st {};
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
}  // namespace lumorel
