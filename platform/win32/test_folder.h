// A temporary folder on the real Windows file system for the Win32 layer's
// tests, and small file helpers. Test code only.
#ifndef LUMOREL_PLATFORM_WIN32_TEST_FOLDER_H_
#define LUMOREL_PLATFORM_WIN32_TEST_FOLDER_H_

#include <string>

namespace lumorel {

// A new empty folder below GetTempPathA(), removed with all it holds (read-
// only files too) when the object goes.
class TestFolder {
 public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  // The folder's path, ending with '\'.
  const std::string& path() const { return path_; }
  // `relative` below the folder, as a full path.
  std::string operator/(const std::string& relative) const { return path_ + relative; }
  // Writes a file at `relative` (its folder must exist) and returns its path.
  std::string write(const std::string& relative, const std::string& content = "x") const;
  // Makes the folder `relative`; returns its full path ending with '\'.
  std::string makeFolder(const std::string& relative) const;

 private:
  std::string path_;
};

// The bytes of the file at `path`, or "<missing>" when it cannot be read.
std::string readWholeFile(const std::string& path);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_TEST_FOLDER_H_
