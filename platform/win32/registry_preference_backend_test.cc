#include "platform/win32/registry_preference_backend.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/limits.h"
#include "platform/win32/test_folder.h"

using namespace std::string_literals;

namespace lumorel {
namespace {

// A registry key of the test's own below HKEY_CURRENT_USER, deleted with its
// values when the test ends.
class TestKey {
 public:
  TestKey() : name_("Software\\LumorelTest\\" + std::to_string(GetCurrentProcessId())) {}
  ~TestKey() {
    RegDeleteKeyA(HKEY_CURRENT_USER, name_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\LumorelTest");
  }
  const std::string& name() const { return name_; }

  // The raw data and type of the value `value`; nullopt when missing.
  std::optional<std::pair<DWORD, std::string>> raw(const std::string& value) const {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, name_.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
      return std::nullopt;
    std::string data(4096, '\0');
    DWORD size = static_cast<DWORD>(data.size()), type = 0;
    const LONG status = RegQueryValueExA(key, value.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    data.resize(size);
    return std::make_pair(type, data);
  }

  void setRaw(const std::string& value, DWORD type, const std::string& data) const {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, value.c_str(), 0, type,
                             reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

 private:
  const std::string name_;
};

TEST(RegistryPreferenceBackend, NamedValuesAreTextsInTheRegistry) {
  TestKey key;
  TestFolder files;
  RegistryPreferenceBackend prefs(key.name(), files.path());
  EXPECT_EQ(prefs.readValue("Timer"), std::nullopt) << "never written; the key is missing too";

  ASSERT_TRUE(prefs.writeValue("Timer", "abc"));
  EXPECT_EQ(prefs.readValue("Timer"), std::optional<std::string>("abc"));
  EXPECT_EQ(key.raw("Timer"), std::make_pair(DWORD{REG_SZ}, "abc\0"s)) << "text and its zero byte";

  // The empty text is a value like any other.
  ASSERT_TRUE(prefs.writeValue("Timer", ""));
  EXPECT_EQ(prefs.readValue("Timer"), std::optional<std::string>(""));
  EXPECT_EQ(key.raw("Timer"), std::make_pair(DWORD{REG_SZ}, "\0"s));

  // Keys compare without regard to case.
  ASSERT_TRUE(prefs.writeValue("MainImg.Width", "640"));
  EXPECT_EQ(prefs.readValue("mainimg.WIDTH"), std::optional<std::string>("640"));
  ASSERT_TRUE(prefs.writeValue("MAINIMG.width", "800"));
  EXPECT_EQ(prefs.readValue("MainImg.Width"), std::optional<std::string>("800"));

  // The empty key is the key's unnamed value.
  ASSERT_TRUE(prefs.writeValue("", "default"));
  EXPECT_EQ(key.raw(""), std::make_pair(DWORD{REG_SZ}, "default\0"s));
  EXPECT_EQ(prefs.readValue(""), std::optional<std::string>("default"));

  // 8-bit texts go through as they are.
  ASSERT_TRUE(prefs.writeValue("Folder", "C:\\Bilder\\\xE9t\xE9\\"));
  EXPECT_EQ(prefs.readValue("Folder"), std::optional<std::string>("C:\\Bilder\\\xE9t\xE9\\"));
  EXPECT_EQ(prefs.lastFailure(), "");
}

// A value of any length is read back whole: the 259-byte limit of the
// store's reads is the store's to apply, by refusing such a value, and is
// never made here by cutting the text.
TEST(RegistryPreferenceBackend, ReadsAValueWholeWhateverItsLength) {
  TestKey key;
  RegistryPreferenceBackend prefs(key.name(), "");
  for (std::size_t length : {258u, 259u, 260u, 261u, 300u, 5000u}) {
    std::string value(length, 'v');
    value.back() = 'E';
    ASSERT_TRUE(prefs.writeValue("Long", value)) << length;
    EXPECT_EQ(prefs.readValue("Long"), std::optional<std::string>(value)) << length;
  }
}

TEST(RegistryPreferenceBackend, ValuesThatAreNotItsTextsReadAsMissing) {
  TestKey key;
  RegistryPreferenceBackend prefs(key.name(), "");
  key.setRaw("Number", REG_DWORD, "\x01\x00\x00\x00"s);
  key.setRaw("Inner", REG_SZ, "ab\0cd\0"s);
  key.setRaw("Unended", REG_SZ, "xyz"s);
  EXPECT_EQ(prefs.readValue("Number"), std::nullopt);
  EXPECT_EQ(prefs.readValue("Inner"), std::nullopt);
  EXPECT_EQ(prefs.readValue("Unended"), std::optional<std::string>("xyz"));
  EXPECT_FALSE(prefs.writeValue("Zero", "a\0b"s)) << "a REG_SZ cannot hold it whole";
  EXPECT_FALSE(prefs.writeValue("a\0b"s, "x"));
  EXPECT_EQ(key.raw("Zero"), std::nullopt);
  EXPECT_EQ(key.raw("a"), std::nullopt);
}

TEST(RegistryPreferenceBackend, ValueFilesAreWrittenWholeAndRemoved) {
  TestFolder folder;
  RegistryPreferenceBackend prefs("Software\\LumorelTest\\unused", folder.path());
  // What the store writes for 'abc' under "+x": the text, its zero byte and
  // zeros up to two bytes per UTF-16 unit and two more.
  const std::string padded = "abc\0\0\0\0\0"s;
  ASSERT_TRUE(prefs.replaceFile("+x.txt", padded));
  EXPECT_EQ(readWholeFile(folder / "+x.txt"), padded);
  EXPECT_EQ(prefs.readFile("+x.txt"), std::optional<std::string>(padded));

  ASSERT_TRUE(prefs.replaceFile("+x.txt", "second, longer\0\0"s));
  EXPECT_EQ(prefs.readFile("+x.txt"), std::optional<std::string>("second, longer\0\0"s));
  // Only the file itself is left in the folder: no new file stays behind.
  int files = 0;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder / "*").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
  } while (FindNextFileA(find, &data));
  FindClose(find);
  EXPECT_EQ(files, 1);

  // A file another program wrote without any zero byte reads whole.
  folder.write("+y.txt", "no zero at all");
  EXPECT_EQ(prefs.readFile("+Y.TXT"), std::optional<std::string>("no zero at all"));

  EXPECT_TRUE(prefs.removeFile("+x.txt"));
  EXPECT_EQ(readWholeFile(folder / "+x.txt"), "<missing>");
  EXPECT_EQ(prefs.readFile("+x.txt"), std::nullopt);
  EXPECT_TRUE(prefs.removeFile("+x.txt")) << "gone already";
  folder.makeFolder("+dir.txt");
  EXPECT_EQ(prefs.readFile("+dir.txt"), std::nullopt);
}

// A reader holding the file open never makes a writer fail.
TEST(RegistryPreferenceBackend, AReaderNeverHoldsUpAWriter) {
  TestFolder folder;
  RegistryPreferenceBackend prefs("Software\\LumorelTest\\unused", folder.path());
  ASSERT_TRUE(prefs.replaceFile("+x.txt", "old"));
  HANDLE reader = CreateFileA((folder / "+x.txt").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  const bool replaced = prefs.replaceFile("+x.txt", "new");
  CloseHandle(reader);
  // Where the system cannot replace a file that is open, the old bytes stay
  // whole and the failure is told.
  EXPECT_EQ(readWholeFile(folder / "+x.txt"), replaced ? "new" : "old");
  if (!replaced) {
    EXPECT_NE(prefs.lastFailure().find("+x.txt"), std::string::npos) << prefs.lastFailure();
  }
}

TEST(RegistryPreferenceBackend, RefusesNamesOutsideItsFolder) {
  TestFolder folder;
  folder.makeFolder("sub");
  folder.write("sub\\inner.txt", "INNER");
  RegistryPreferenceBackend prefs("Software\\LumorelTest\\unused", folder / "sub\\");
  const std::string refused[] = {
      "",          ".",           "..",          "..\\escape.txt", "../escape.txt",
      "a:stream",  "a\\b.txt",    "x.txt.",      "x.txt ",         "a\0b"s,
      std::string(kMaxPath, 'n'),
  };
  for (const std::string& name : refused) {
    EXPECT_FALSE(prefs.replaceFile(name, "X")) << name;
    EXPECT_EQ(prefs.readFile(name), std::nullopt) << name;
    EXPECT_FALSE(prefs.removeFile(name)) << name;
  }
  EXPECT_EQ(readWholeFile(folder / "escape.txt"), "<missing>");
  EXPECT_EQ(readWholeFile(folder / "sub\\inner.txt"), "INNER");
  EXPECT_EQ(readWholeFile(folder / "sub\\x.txt"), "<missing>");
}

TEST(RegistryPreferenceBackend, SystemKeepsValueFilesInTheTemporaryFolder) {
  char temp[MAX_PATH];
  const DWORD length = GetTempPathA(MAX_PATH, temp);
  ASSERT_GT(length, 0u);
  const std::string name = "+lmtest" + std::to_string(GetCurrentProcessId()) + ".txt";
  const std::string path = std::string(temp, length) + name;
  PreferenceBackend& prefs = PreferenceBackend::system();
  ASSERT_TRUE(prefs.replaceFile(name, "abc\0"s));
  EXPECT_EQ(readWholeFile(path), "abc\0"s);
  EXPECT_TRUE(prefs.removeFile(name));
  EXPECT_EQ(readWholeFile(path), "<missing>");
}

}  // namespace
}  // namespace lumorel
