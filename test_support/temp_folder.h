// Shared helpers of the unit tests: a temporary folder tree on the real file
// system, and files in it.
#ifndef LUMOREL_TEST_SUPPORT_TEMP_FOLDER_H_
#define LUMOREL_TEST_SUPPORT_TEMP_FOLDER_H_

#include <string>
#include <vector>

namespace lumorel {

// A new empty folder below the system's temporary folder, removed with all
// it holds when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's path, ending with '/'.
  const std::string& path() const { return path_; }

  // `relative` below the folder, as a full path.
  std::string operator/(const std::string& relative) const { return path_ + relative; }

  // Writes a file at `relative` (folders on the way are made) and returns its
  // full path.
  std::string write(const std::string& relative, const std::string& content = "x") const;
  // Makes the folder `relative` and those on the way; returns its full path
  // ending with '/'.
  std::string makeFolder(const std::string& relative) const;

 private:
  std::string path_;
};

// The content of the file at `path`, or "<missing>" when it cannot be read.
std::string readFile(const std::string& path);

// The names in the folder at `path`, sorted; '.' and '..' left out.
std::vector<std::string> listNames(const std::string& path);

}  // namespace lumorel

#endif  // LUMOREL_TEST_SUPPORT_TEMP_FOLDER_H_
