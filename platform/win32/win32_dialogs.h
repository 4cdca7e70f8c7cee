// The engine's modal questions as the module's own dialogs.
#ifndef LUMOREL_PLATFORM_WIN32_WIN32_DIALOGS_H_
#define LUMOREL_PLATFORM_WIN32_WIN32_DIALOGS_H_

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/dialogs.h"

namespace lumorel {

// Dialogs from the dialog templates of one module (resources/lmcntl.rc):
//
// - confirm() shows template 201 ("Confirm File Delete") or 219 ("Confirm
//   File Move") modally, owned by the owner window, centred. Button 1 (IDOK,
//   "Delete" / "Move Files") confirms; button 2 (IDCANCEL, "Cancel", also
//   Esc) declines. A template that cannot be shown declines.
// - chooseFolder() shows the platform's older (non-Explorer) save-file
//   dialog over template 200 ("Directory Browse"), which shows only the
//   folder tree and the drives. A hook keeps the dummy file name "test.txt"
//   in the hidden file name field, so OK returns that file in the open
//   folder; the folder is the answer, with its trailing '\'. The prompt has
//   no owner window (its hook brings it to the front), as a page's folder
//   prompt must stand on its own.
//
// Both block the calling thread in the dialog's message loop; messages for
// the thread's other windows are dispatched meanwhile. Call them on a thread
// that may own windows (the control's UI thread).
class Win32Dialogs final : public Dialogs {
 public:
  // `module` holds the templates and `owner` (may be null) owns the
  // confirmations; both are borrowed and must outlive the calls.
  Win32Dialogs(HMODULE module, HWND owner) : module_(module), owner_(owner) {}

  bool confirm(Confirmation which) override;
  std::optional<std::string> chooseFolder(std::string_view startingFolder,
                                          std::string_view caption) override;

 private:
  const HMODULE module_;
  const HWND owner_;
};

// The dialog procedure of both confirmations: WM_INITDIALOG puts the focus
// on button 1; WM_COMMAND from button 1 ends the dialog with 1 (confirmed),
// from button 2 with 0 (declined); every WM_COMMAND is handled; nothing else.
INT_PTR CALLBACK confirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The folder prompt's hook: brings the dialog to the front when it opens and
// puts "test.txt" into the file name field at every paint. Returns FALSE
// always, so the dialog's own handling follows.
UINT_PTR CALLBACK folderPromptHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_WIN32_DIALOGS_H_
