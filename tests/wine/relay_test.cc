// Relayed downloads through the module as the browser asks for them: an
// "lm:" address that names a web address to relay and perhaps a picture
// file to save it into, read through the URL machinery.
// Winsock first: it must come before <windows.h>.
#include "platform/win32/loopback_http_server.h"
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/wine/client.h"
#include "tests/wine/url_loader.h"

namespace lumorel::wine {
namespace {

class TempFolder {
 public:
  TempFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    path_ = std::string(temp) + "lumorel-relay-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    for (const char* name : {"saved.gif", "kept.gif", "notes.txt", "gone.gif"}) {
      DeleteFileA((path_ + name).c_str());
    }
    RemoveDirectoryA(path_.c_str());
  }
  std::string operator/(const char* name) const { return path_ + name; }

 private:
  std::string path_;
};

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(Relay, GivesTheDownloadAndSavesOnlyANewPictureFile) {
  LoopbackServer server;
  ASSERT_TRUE(server.running());
  TempFolder folder;
  {
    HANDLE file = CreateFileA((folder / "kept.gif").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, "mine", 4, &written, nullptr);
    CloseHandle(file);
  }
  const struct {
    const char* save;
    bool saved;
  } cases[] = {
      {"saved.gif", true},   // a new picture file
      {"notes.txt", false},  // not a picture: relayed, not saved
      {"kept.gif", false},   // already there: left as it was
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.save);
    const std::string target = folder / c.save;
    const auto got = loadUrl("lm:&save=" + target + "&src=" + server.url("/hello"));
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, "hello, world");
    const auto file = readFile(target);
    if (c.saved) {
      ASSERT_TRUE(file);
      EXPECT_EQ(*file, "hello, world");
    } else if (std::string(c.save) == "kept.gif") {
      EXPECT_EQ(file, std::optional<std::string>("mine"));
    } else {
      EXPECT_FALSE(exists(target));
    }
  }
}

TEST(Relay, RelaysOnlyWebAddresses) {
  TempFolder folder;
  const std::string target = folder / "gone.gif";
  // A file of this machine is not the web's to give.
  const auto got = loadUrl("lm:&save=" + target + "&src=file:///C:/windows/win.ini");
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, "");
  EXPECT_FALSE(exists(target));
}

}  // namespace
}  // namespace lumorel::wine
