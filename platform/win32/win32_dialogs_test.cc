#include "platform/win32/win32_dialogs.h"

#include <dlgs.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace lumorel {
namespace {

// How long a dialog may take to appear, or its controls to settle, before
// the test gives up on it.
constexpr auto kPatience = std::chrono::seconds(30);

// Polls `ready` until it holds or patience runs out.
bool waitFor(const std::function<bool()>& ready) {
  auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string windowText(HWND window) {
  char text[512] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// Plays the user of a modal dialog from a second thread, while the test's
// own thread is inside the dialog: waits for the window titled `title`
// until it shows, then lets `act` look at it and answer it (on the second
// thread).
class User {
 public:
  User(std::string title, std::function<void(HWND)> act)
      : thread_([this, title = std::move(title), act = std::move(act)] {
          HWND dialog = nullptr;
          // Found as soon as it is created; answered once it shows.
          if (!waitFor([&] { return (dialog = FindWindowA(nullptr, title.c_str())) != nullptr; }) ||
              !waitFor([&] { return IsWindowVisible(dialog) != FALSE; }))
            return;
          found_ = true;
          act(dialog);
        }) {}
  ~User() { thread_.join(); }
  bool found() const { return found_; }

 private:
  std::atomic<bool> found_{false};
  std::thread thread_;
};

// What the user sees in a confirmation, gathered while it is up.
struct Seen {
  bool iconShown = false;
  bool focusOnButton1 = false;
  bool centred = false;
  std::string button1, button2;
};

void lookAtConfirmation(HWND dialog, Seen& seen) {
  HWND icon = nullptr;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) icon = child;
  seen.iconShown = icon != nullptr && SendMessageA(icon, STM_GETICON, 0, 0) != 0;
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  seen.focusOnButton1 = GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui) &&
                        gui.hwndFocus == GetDlgItem(dialog, IDOK);
  RECT box, work;
  GetWindowRect(dialog, &box);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  seen.centred = std::abs((box.left + box.right) - (work.left + work.right)) <= 2 &&
                 std::abs((box.top + box.bottom) - (work.top + work.bottom)) <= 2;
  seen.button1 = windowText(GetDlgItem(dialog, IDOK));
  seen.button2 = windowText(GetDlgItem(dialog, IDCANCEL));
}

enum class Answer { kButton1, kButton2, kEscape };

void give(HWND dialog, Answer answer) {
  switch (answer) {
    case Answer::kButton1:
      SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
      break;
    case Answer::kButton2:
      SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
      break;
    case Answer::kEscape: {
      // Esc as the keyboard gives it, to the control that has the focus.
      GUITHREADINFO gui = {};
      gui.cbSize = sizeof gui;
      GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui);
      HWND target = gui.hwndFocus ? gui.hwndFocus : dialog;
      PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
      break;
    }
  }
}

TEST(Win32Dialogs, ConfirmationsAnswerByTheButtonPressed) {
  const struct Case {
    Confirmation which;
    const char* title;
    const char* button1;
    Answer answer;
    bool confirmed;
  } cases[] = {
      {Confirmation::kDeletePicture, "Confirm File Delete", "Delete", Answer::kButton1, true},
      {Confirmation::kDeletePicture, "Confirm File Delete", "Delete", Answer::kButton2, false},
      {Confirmation::kDeletePicture, "Confirm File Delete", "Delete", Answer::kEscape, false},
      {Confirmation::kMovePictures, "Confirm File Move", "Move Files", Answer::kButton1, true},
      {Confirmation::kMovePictures, "Confirm File Move", "Move Files", Answer::kButton2, false},
      {Confirmation::kMovePictures, "Confirm File Move", "Move Files", Answer::kEscape, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.title) + " answered " + std::to_string(static_cast<int>(c.answer)));
    Win32Dialogs dialogs(GetModuleHandleA(nullptr), nullptr);
    Seen seen;
    bool confirmed;
    {
      User user(c.title, [&](HWND dialog) {
        lookAtConfirmation(dialog, seen);
        give(dialog, c.answer);
      });
      confirmed = dialogs.confirm(c.which);
      // The dialog is gone once the answer is back.
      EXPECT_EQ(FindWindowA(nullptr, c.title), nullptr);
      ASSERT_TRUE(user.found());
    }
    EXPECT_EQ(confirmed, c.confirmed);
    EXPECT_TRUE(seen.iconShown);
    EXPECT_TRUE(seen.focusOnButton1);
    EXPECT_TRUE(seen.centred);
    EXPECT_EQ(seen.button1, c.button1);
    EXPECT_EQ(seen.button2, "Cancel");
  }
}

// A module without the templates shows nothing: declined, cancelled.
TEST(Win32Dialogs, WithoutTheTemplatesEveryQuestionIsDeclined) {
  Win32Dialogs dialogs(GetModuleHandleA("kernel32.dll"), nullptr);
  EXPECT_FALSE(dialogs.confirm(Confirmation::kDeletePicture));
  EXPECT_FALSE(dialogs.confirm(Confirmation::kMovePictures));
  EXPECT_FALSE(dialogs.chooseFolder("C:\\", "Pick a folder").has_value());
}

// A fresh folder under the temporary folder, removed with what it holds.
class FolderPromptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    // A name no other file has, taken by a file and then given to the folder.
    char unique[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(temp, "lmp", 0, unique), 0u);
    ASSERT_TRUE(DeleteFileA(unique));
    folder_ = unique;
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
  }
  void TearDown() override {
    DeleteFileA((folder_ + "\\test.txt").c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  // Opens the prompt at the folder with `caption`; the user waits until the
  // dialog shows the folder with the file name field settled, then presses
  // `button`.
  std::optional<std::string> prompt(const char* caption, int button, std::string* fileName) {
    Win32Dialogs dialogs(GetModuleHandleA(nullptr), nullptr);
    std::optional<std::string> chosen;
    User user(caption, [&](HWND dialog) {
      HWND name = GetDlgItem(dialog, edt1);
      if (!waitFor([&] { return windowText(name) == "test.txt"; })) return;
      *fileName = windowText(name);
      SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
    });
    chosen = dialogs.chooseFolder(folder_, caption);
    EXPECT_TRUE(user.found());
    return chosen;
  }

  std::string folder_;
};

bool sameText(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

TEST_F(FolderPromptTest, OkChoosesTheOpenFolder) {
  std::string fileName;
  std::optional<std::string> chosen = prompt("Choose the pictures' folder", IDOK, &fileName);
  EXPECT_EQ(fileName, "test.txt");
  ASSERT_TRUE(chosen.has_value());
  EXPECT_PRED2(sameText, *chosen, folder_ + "\\");
}

// An existing file of the dummy name asks nothing more.
TEST_F(FolderPromptTest, AFileNamedLikeTheDummyChangesNothing) {
  HANDLE file = CreateFileA((folder_ + "\\test.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  std::string fileName;
  std::optional<std::string> chosen = prompt("Save the pictures into", IDOK, &fileName);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_PRED2(sameText, *chosen, folder_ + "\\");
}

TEST_F(FolderPromptTest, CancelChoosesNothing) {
  std::string fileName;
  EXPECT_FALSE(prompt("Folder to organize", IDCANCEL, &fileName).has_value());
  EXPECT_EQ(fileName, "test.txt");
}

}  // namespace
}  // namespace lumorel
