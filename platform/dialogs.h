// The modal questions the engine asks the user.
#ifndef LUMOREL_PLATFORM_DIALOGS_H_
#define LUMOREL_PLATFORM_DIALOGS_H_

#include <optional>
#include <string>
#include <string_view>

namespace lumorel {

// The two confirmations. Their texts are the dialogs' own (see the
// implementations); the engine only needs the answer.
enum class Confirmation {
  kDeletePicture = 201,  // "Confirm File Delete"
  kMovePictures = 219,   // "Confirm File Move"
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // Shows the confirmation modally and returns true only when the user
  // confirmed. A dialog that cannot be shown counts as declined. Called on the
  // UI thread; events queued meanwhile may run before it returns.
  virtual bool confirm(Confirmation which) = 0;

  // The folder prompt ("Directory Browse", dialog 200): asks the user for a
  // folder, with `caption` as the dialog's title, opening at `startingFolder`
  // (an empty or unknown folder opens wherever the platform chooses). Blocks
  // until the user answers, as confirm() does. Returns the chosen folder's
  // full path (with or without a trailing separator), or nullopt when the user
  // cancelled or no dialog could be shown.
  virtual std::optional<std::string> chooseFolder(std::string_view startingFolder,
                                                  std::string_view caption) = 0;
};

// Where no dialog can be shown: every confirmation is declined and every
// folder prompt cancelled.
class NoDialogs final : public Dialogs {
 public:
  bool confirm(Confirmation) override { return false; }
  std::optional<std::string> chooseFolder(std::string_view, std::string_view) override {
    return std::nullopt;
  }
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_DIALOGS_H_
