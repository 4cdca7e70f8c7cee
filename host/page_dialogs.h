// The control's dialogs shown by its page: a dialog request goes out on the
// event stream, and the control's UI thread goes on serving calls, events
// and ticks until the page answers, as a modal dialog's message loop does.
#ifndef LUMOREL_HOST_PAGE_DIALOGS_H_
#define LUMOREL_HOST_PAGE_DIALOGS_H_

#include <nlohmann/json.hpp>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dialogs.h"
#include "platform/posix/event_loop.h"

namespace lumorel {

class EventStream;
class FileSystem;

// The folder prompt's dialog number; the confirmations use theirs
// (Confirmation).
inline constexpr int kFolderPromptDialog = 200;

// What the page's answer came to.
enum class DialogAnswer {
  kTaken,
  kNoSuchDialog,  // no dialog of that number is open
  kBadAnswer,     // an answer of the wrong type, or a folder that is none
};

// One dialog at a time: a control that asks for a second while one is open
// gets it declined (or cancelled) at once. After cancelAll() every dialog is
// declined at once.
//
// Thread safety: confirm, chooseFolder, answer and cancelAll run on the
// control's UI thread (`loop`); folderPromptOpen on any thread.
class PageDialogs final : public Dialogs {
 public:
  // `loop`, `stream` and `fs` are borrowed and outlive this.
  PageDialogs(EventLoop& loop, EventStream& stream, FileSystem& fs);

  bool confirm(Confirmation which) override;
  // The prompt opens in the folder that startingFolder (folder_listing.h)
  // makes of `startingFolder`: the nearest that can be shown.
  std::optional<std::string> chooseFolder(std::string_view startingFolder,
                                          std::string_view caption) override;

  // The page's answer to dialog `dialog`: a boolean for a confirmation; for
  // the folder prompt a string in carried form (host/script_json.h), the
  // empty text for Cancel or the full path of an existing folder.
  DialogAnswer answer(int dialog, const nlohmann::json& value);

  // Ends the open dialog as declined, and every later one at once.
  void cancelAll();

  // True while the folder prompt is open.
  bool folderPromptOpen() const {
    // Acquire pairs with the release stores: a reader that sees the prompt
    // open sees the request it belongs to. Only a yes/no is read.
    return folderOpen_.load(std::memory_order_acquire);
  }

 private:
  // Sends `request` and serves the loop until the answer (nullopt when the
  // dialog was cancelled or another is open).
  std::optional<nlohmann::json> ask(int dialog, nlohmann::json request);

  EventLoop& loop_;
  EventStream& stream_;
  FileSystem& fs_;
  // UI thread only.
  int open_ = 0;  // the open dialog's number, 0 for none
  std::optional<nlohmann::json> answer_;
  bool cancelled_ = false;
  std::atomic<bool> folderOpen_{false};
};

}  // namespace lumorel

#endif  // LUMOREL_HOST_PAGE_DIALOGS_H_
