#include "platform/win32/win32_dialogs.h"

#include <commdlg.h>
#include <dlgs.h>

#include "platform/limits.h"
#include "resources/resource_ids.h"

namespace lumorel {
namespace {

// What the hook keeps in the hidden file name field; OK returns it in the
// open folder, and the folder is what the prompt wants.
constexpr char kDummyFileName[] = "test.txt";

// The dialog's result for a confirmation.
constexpr INT_PTR kConfirmed = 1;
constexpr INT_PTR kDeclined = 0;

// The folder of a full file path: everything up to and with its last '\'.
std::string folderOf(const char* path) {
  std::string folder(path);
  std::size_t last = folder.find_last_of('\\');
  folder.resize(last == std::string::npos ? 0 : last + 1);
  return folder;
}

}  // namespace

INT_PTR CALLBACK confirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetFocus(GetDlgItem(dialog, IDOK));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) EndDialog(dialog, kConfirmed);
      else if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, kDeclined);
      return TRUE;
    default:
      return FALSE;
  }
}

UINT_PTR CALLBACK folderPromptHook(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) SetForegroundWindow(dialog);
  else if (message == WM_PAINT) SetDlgItemTextA(dialog, edt1, kDummyFileName);
  return FALSE;
}

bool Win32Dialogs::confirm(Confirmation which) {
  int templateId = which == Confirmation::kDeletePicture ? LUMOREL_IDD_CONFIRM_DELETE
                                                         : LUMOREL_IDD_CONFIRM_MOVE;
  // -1 (no dialog) and 0 both decline.
  return DialogBoxParamA(module_, MAKEINTRESOURCEA(templateId), owner_, confirmDialogProc, 0) ==
         kConfirmed;
}

std::optional<std::string> Win32Dialogs::chooseFolder(std::string_view startingFolder,
                                                      std::string_view caption) {
  // The API takes both texts whole, as NUL-terminated strings.
  const std::string initialFolder(startingFolder);
  const std::string title(caption);
  char file[kMaxPath] = "*.*";
  char fileTitle[kMaxPath] = "";

  OPENFILENAMEA dialog = {};
  // The record as the older dialog knows it, without the later fields.
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  dialog.hwndOwner = nullptr;
  dialog.hInstance = reinterpret_cast<HINSTANCE>(module_);
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrFileTitle = fileTitle;
  dialog.nMaxFileTitle = sizeof fileTitle;
  dialog.lpstrInitialDir = initialFolder.c_str();
  dialog.lpstrTitle = title.c_str();
  // Not OFN_EXPLORER: the template is one for the older dialog. No overwrite
  // question and no must-exist test, so the dummy file may exist or not.
  dialog.Flags = OFN_NOCHANGEDIR | OFN_SHOWHELP | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE |
                 OFN_NONETWORKBUTTON;
  dialog.lpfnHook = folderPromptHook;
  dialog.lpTemplateName = MAKEINTRESOURCEA(LUMOREL_IDD_FOLDER_PROMPT);
  if (!GetSaveFileNameA(&dialog)) return std::nullopt;
  std::string folder = folderOf(file);
  if (folder.empty()) return std::nullopt;
  return folder;
}

}  // namespace lumorel
