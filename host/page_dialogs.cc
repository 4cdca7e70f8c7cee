#include "host/page_dialogs.h"

#include <cstdlib>

#include "host/event_stream.h"
#include "host/folder_listing.h"
#include "host/script_json.h"
#include "platform/file_system.h"

namespace lumorel {
namespace {

// The texts and buttons of the two confirmations.
nlohmann::json confirmationRequest(Confirmation which) {
  using nlohmann::json;
  if (which == Confirmation::kMovePictures) {
    return json{{"dialog", 219},
                {"title", "Confirm File Move"},
                {"text",
                 json::array({"Warning:  This action will move image files around and is not "
                              "Undo-able.",
                              "Are you sure you want to move the image files?"})},
                {"ok", "Move Files"},
                {"cancel", "Cancel"},
                {"default", "cancel"}};
  }
  return json{{"dialog", 201},
              {"title", "Confirm File Delete"},
              {"text", json::array({"Are you sure you want to delete the image file?"})},
              {"ok", "Delete"},
              {"cancel", "Cancel"},
              {"default", "ok"}};
}

}  // namespace

PageDialogs::PageDialogs(EventLoop& loop, EventStream& stream, FileSystem& fs)
    : loop_(loop), stream_(stream), fs_(fs) {}

bool PageDialogs::confirm(Confirmation which) {
  std::optional<nlohmann::json> answer =
      ask(static_cast<int>(which), confirmationRequest(which));
  return answer && answer->is_boolean() && answer->get<bool>();
}

std::optional<std::string> PageDialogs::chooseFolder(std::string_view startingFolder,
                                                     std::string_view caption) {
  // The prompt opens where the page asks, or as near to it as can be
  // shown: a folder stored earlier may have gone since, and the pages ask
  // for a Windows drive root after a folder without pictures.
  const char* home = std::getenv("HOME");
  const std::string start = lumorel::startingFolder(fs_, startingFolder, home ? home : "");
  nlohmann::json request{{"dialog", kFolderPromptDialog},
                         {"title", carriedText(caption)},
                         {"caption", carriedText(caption)},
                         {"start", carriedText(start)},
                         {"path", "Folder:"},
                         {"folders", "Directories:"},
                         {"drives", "Drives:"},
                         {"ok", "OK"},
                         {"cancel", "Cancel"},
                         {"problems", {{"missing", "No folder of this name exists."},
                                       {"notFolder", "This is a file, not a folder."},
                                       {"unreadable", "This folder cannot be opened."}}}};
  std::optional<nlohmann::json> answer = ask(kFolderPromptDialog, std::move(request));
  if (!answer || !answer->is_string()) return std::nullopt;
  std::string folder = engineText(answer->get<std::string>());
  if (folder.empty()) return std::nullopt;
  return folder;
}

std::optional<nlohmann::json> PageDialogs::ask(int dialog, nlohmann::json request) {
  if (cancelled_ || open_ != 0) return std::nullopt;
  open_ = dialog;
  answer_.reset();
  if (dialog == kFolderPromptDialog) folderOpen_.store(true, std::memory_order_release);
  stream_.send("dialog", dumpScriptJson(request));
  loop_.runUntil([this] { return answer_.has_value() || cancelled_; });
  if (dialog == kFolderPromptDialog) folderOpen_.store(false, std::memory_order_release);
  open_ = 0;
  std::optional<nlohmann::json> answer = std::move(answer_);
  answer_.reset();
  if (cancelled_) return std::nullopt;
  return answer;
}

DialogAnswer PageDialogs::answer(int dialog, const nlohmann::json& value) {
  if (open_ == 0 || open_ != dialog || answer_) return DialogAnswer::kNoSuchDialog;
  if (dialog == kFolderPromptDialog) {
    if (!value.is_string()) return DialogAnswer::kBadAnswer;
    const std::string folder = engineText(value.get<std::string>());
    if (!folder.empty()) {
      // Only an existing folder, by its full path, answers the prompt.
      if (folder.front() != '/' || folder.find('\0') != std::string::npos)
        return DialogAnswer::kBadAnswer;
      std::string listed = folder;
      if (listed.back() != '/') listed.push_back('/');
      if (!fs_.listFolder(listed.c_str(), [](const FolderEntry&) {}))
        return DialogAnswer::kBadAnswer;
    }
  } else if (!value.is_boolean()) {
    return DialogAnswer::kBadAnswer;
  }
  answer_ = value;
  return DialogAnswer::kTaken;
}

void PageDialogs::cancelAll() { cancelled_ = true; }

}  // namespace lumorel
