// The modal questions the engine asks the user.
#ifndef LUMOREL_PLATFORM_DIALOGS_H_
#define LUMOREL_PLATFORM_DIALOGS_H_

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
};

// Where no dialog can be shown: every confirmation is declined.
class NoDialogs final : public Dialogs {
 public:
  bool confirm(Confirmation) override { return false; }
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_DIALOGS_H_
