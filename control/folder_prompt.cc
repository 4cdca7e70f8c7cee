// The folder prompt: the user picks a folder in the platform's dialog.
#include "control/enum_img.h"
#include "platform/dialogs.h"
#include "platform/limits.h"

namespace lumorel {

std::string EnumImg::PromptForPath(std::string_view bstrStaringDir,
                                   std::string_view bstrMessage) {
  std::optional<std::string> chosen = env_.dialogs.chooseFolder(bstrStaringDir, bstrMessage);
  if (!chosen || chosen->empty()) return "";
  std::string folder = std::move(*chosen);
  if (folder.back() != kFolderSeparator) folder.push_back(kFolderSeparator);
  // A folder whose path would not fit a path buffer is refused, not cut
  // into the name of another folder.
  if (folder.size() >= kMaxPath || folder.find('\0') != std::string::npos) return "";
  return folder;
}

}  // namespace lumorel
