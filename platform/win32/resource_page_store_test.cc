#include "platform/win32/resource_page_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "resources/resource_ids.h"

namespace lumorel {
namespace {

namespace fs = std::filesystem;

// The test program carries the module's resources itself.
const ResourcePageStore& store() {
  static const ResourcePageStore pages(GetModuleHandleA(nullptr));
  return pages;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string toUpper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// Upper and lower case by turns: "mAiNiMg".
std::string mixedCase(std::string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (i % 2 == 1 && c >= 'a' && c <= 'z') text[i] = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// Counts the resources with a name (not a number) into *count.
BOOL CALLBACK countNamed(HMODULE, LPCSTR, LPSTR name, LONG_PTR count) {
  if (!IS_INTRESOURCE(name)) ++*reinterpret_cast<std::size_t*>(count);
  return TRUE;
}

// Every file of the page folder is a page under the name its file gives,
// found in any case, with the file's bytes, formatted exactly when its file
// says so; and nothing else is a page.
TEST(ResourcePageStore, ServesEveryFileOfThePageFolderAsItsBytes) {
  std::size_t files = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(LUMOREL_PAGES_DIR)) {
    if (!entry.is_regular_file()) continue;
    std::string name = entry.path().filename().string();
    if (name == "CMakeLists.txt") continue;
    ++files;
    bool formatted = false;
    const std::string kFormatted = ".formatted.htm";
    if (name.size() > kFormatted.size() && name.ends_with(kFormatted)) {
      name.resize(name.size() - kFormatted.size());
      formatted = true;
    } else if (name.ends_with(".htm")) {
      name.resize(name.size() - 4);
    }
    const std::string bytes = readFile(entry.path());
    ASSERT_FALSE(bytes.empty()) << name;
    for (const std::string& asked : {name, toUpper(name), mixedCase(name)}) {
      SCOPED_TRACE(asked);
      std::optional<StoredPage> page = store().find(asked);
      ASSERT_TRUE(page.has_value());
      EXPECT_EQ(page->bytes, bytes);
      EXPECT_EQ(page->formatted, formatted);
    }
  }
  // The page folder as the tests see it is the one the build read.
  EXPECT_GT(files, 20u);
  std::size_t resources = 0;
  EnumResourceNamesA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(LUMOREL_RT_PAGE), countNamed,
                     reinterpret_cast<LONG_PTR>(&resources));
  EXPECT_EQ(resources, files);
}

TEST(ResourcePageStore, TheSlideShowAndThePictureWindowAreTheFormattedPages) {
  struct Case {
    const char* name;
    bool formatted;
  } cases[] = {{"MAINIMG", true}, {"resizeimg", true},  {"MAIN", false},    {"lm_links", false},
               {"KEYS", false},   {"about", false},     {"LOGO.GIF", false}, {"utilshelp", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<StoredPage> page = store().find(c.name);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->formatted, c.formatted);
  }
}

// The bytes are the module's own: two finds give the same memory.
TEST(ResourcePageStore, ServesTheResourceInPlace) {
  std::optional<StoredPage> first = store().find("logo.gif");
  std::optional<StoredPage> second = store().find("LOGO.GIF");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->bytes.data(), second->bytes.data());
  EXPECT_TRUE(first->bytes.starts_with("GIF89a"));
}

TEST(ResourcePageStore, FindsNothingForUnknownOrOddNames) {
  const std::string kTooLong(256, 'A');
  const std::string_view cases[] = {
      "",
      "mai",
      "mainx",
      "mainimg.formatted",
      "mainimg.formatted.htm",
      "main.htm",
      "logo",
      "logo.gif ",
      " main",
      "CMakeLists.txt",
      "store",
      "artwork",
      "lm:main",
      "..\\main",
      "pages\\main",
      "pages/main",
      "./main",
      "main/",
      "#123",
      "#1",
      "#23",
      std::string_view("main\0", 5),
      std::string_view("main\0x", 6),
      kTooLong,
  };
  for (std::string_view name : cases) {
    SCOPED_TRACE(std::string(name));
    EXPECT_FALSE(store().find(name).has_value());
  }
}

// The test program carries a page numbered 123, which the platform finds
// for the text "#123"; the store does not read names as numbers.
TEST(ResourcePageStore, DoesNotReadNumbersIntoNames) {
  ASSERT_NE(FindResourceA(GetModuleHandleA(nullptr), "#123", MAKEINTRESOURCEA(LUMOREL_RT_PAGE)),
            nullptr);
  EXPECT_FALSE(store().find("#123").has_value());
  EXPECT_FALSE(store().find("123").has_value());
}

// A module without the page set has no pages.
TEST(ResourcePageStore, AnotherModuleHasNoPages) {
  ResourcePageStore kernel(GetModuleHandleA("kernel32.dll"));
  EXPECT_FALSE(kernel.find("main").has_value());
  EXPECT_FALSE(kernel.find("logo.gif").has_value());
}

}  // namespace
}  // namespace lumorel
