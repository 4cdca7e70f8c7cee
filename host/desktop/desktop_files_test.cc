#include "host/desktop/desktop_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace lumorel {
namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The regular files below `folder`, as paths relative to `base` with '/'.
std::set<std::string> filesBelow(const fs::path& base, const fs::path& folder) {
  std::set<std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.insert(entry.path().lexically_relative(base).generic_string());
  return files;
}

struct Table {
  const char* name;
  std::span<const DesktopFile> files;
  fs::path base;    // the folder the paths are relative to
  fs::path folder;  // the folder below it whose every file the table holds
};

std::vector<Table> tables() {
  return {
      {"icons", desktopIcons(), LUMOREL_DESKTOP_ICONS_DIR, fs::path(LUMOREL_DESKTOP_ICONS_DIR) / "hicolor"},
      {"extension", extensionFiles(), LUMOREL_EXTENSION_DIR, LUMOREL_EXTENSION_DIR},
  };
}

// Each table holds every file of its source folder, once, under a path
// relative to it, and each file's bytes are the source file's.
TEST(DesktopFiles, EachTableIsItsSourceFolderByteForByte) {
  for (const Table& table : tables()) {
    SCOPED_TRACE(table.name);
    std::set<std::string> paths;
    for (const DesktopFile& file : table.files) {
      SCOPED_TRACE(file.path);
      EXPECT_TRUE(paths.insert(std::string(file.path)).second) << "listed twice";
      EXPECT_FALSE(fs::path(file.path).is_absolute());
      EXPECT_EQ(fs::path(file.path).lexically_normal().generic_string(), file.path);
      EXPECT_FALSE(file.path.starts_with("../"));
      std::vector<unsigned char> source = readFile(table.base / file.path);
      ASSERT_EQ(file.bytes.size(), source.size());
      EXPECT_TRUE(std::ranges::equal(file.bytes, source));
    }
    EXPECT_EQ(paths, filesBelow(table.base, table.folder));
  }
}

// `lumorel install` installs the application's, the tools' and the
// uninstaller's icons at each size a desktop asks for.
TEST(DesktopFiles, IconsComeInEverySizeForEachName) {
  std::set<std::string_view> paths;
  for (const DesktopFile& file : desktopIcons()) paths.insert(file.path);
  std::size_t expected = 0;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
    for (const char* name : {"lumorel", "lumorel-tools", "lumorel-uninstall"}) {
      const std::string path =
          "hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/" + name + ".png";
      EXPECT_TRUE(paths.contains(path)) << path;
      ++expected;
    }
  EXPECT_EQ(paths.size(), expected);
  for (const DesktopFile& file : desktopIcons()) {
    SCOPED_TRACE(file.path);
    const unsigned char kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    ASSERT_GE(file.bytes.size(), sizeof kSignature);
    EXPECT_TRUE(std::ranges::equal(file.bytes.first(sizeof kSignature), kSignature));
  }
}

TEST(DesktopFiles, ExtensionHoldsItsManifest) {
  auto manifest = std::ranges::find(extensionFiles(), std::string_view("manifest.json"), &DesktopFile::path);
  ASSERT_NE(manifest, extensionFiles().end());
  ASSERT_FALSE(manifest->bytes.empty());
  EXPECT_EQ(manifest->bytes.front(), '{');
}

}  // namespace
}  // namespace lumorel
