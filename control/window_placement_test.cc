#include <set>

#include "control/control_test_util.h"

namespace lumorel {
namespace {

TEST_F(ControlTest, SaveWindowLocWritesTheFourKeysInOrder) {
  onUi([&] { control_->setHostWindow(&host_); });
  ASSERT_EQ(method("SaveWindowLoc", {"Main"}).hr, kSOk);
  EXPECT_EQ(prefs_.writes(), (std::vector<std::string>{"Main.Width=800", "Main.Height=600",
                                                       "Main.Top=0", "Main.Left=-4"}));
  EXPECT_EQ(value("Preference", {"main.left"}), Variant("-4"));

  // A value the window cannot tell is not written.
  host_.top_ = std::nullopt;
  ASSERT_EQ(method("SaveWindowLoc", {"Utils"}).hr, kSOk);
  EXPECT_EQ(prefs_.writes().size(), 7u);
  EXPECT_EQ(value("Preference", {"Utils.Top"}), Variant(""));
  onUi([&] { control_->setHostWindow(nullptr); });
}

TEST_F(ControlTest, SaveWindowLocWithoutAHostWindowWritesNothing) {
  EXPECT_EQ(method("SaveWindowLoc", {"Main"}).hr, kSFalse);
  EXPECT_TRUE(prefs_.writes().empty());
}

TEST_F(ControlTest, ForceImgDrawResizesAndRestores) {
  EXPECT_EQ(method("ForceImgDraw").hr, kSOk) << "no host window: nothing happens";
  onUi([&] { control_->setHostWindow(&host_); });
  EXPECT_EQ(method("ForceImgDraw").hr, kSOk);
  EXPECT_EQ(host_.resizes, (std::vector<int32_t>{602, 600}));
  host_.height_ = std::nullopt;
  EXPECT_EQ(method("ForceImgDraw").hr, kSOk);
  EXPECT_EQ(host_.resizes.size(), 2u) << "a window of unknown height is left alone";
  onUi([&] { control_->setHostWindow(nullptr); });
}

TEST_F(ControlTest, ExistsFindsFilesAndFolders) {
  const std::string file = tree_.write("a.jpg");
  const std::string folder = tree_.makeFolder("sub");
  struct Case {
    std::string path;
    int32_t exists;
  } cases[] = {
      {file, 1}, {folder, 1}, {tree_ / "sub", 1}, {tree_ / "missing.jpg", 0}, {"", 0},
      {std::string(5000, 'a'), 0}, {file + std::string(1, '\0') + "x", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(value("Exists", {c.path}), Variant(c.exists)) << c.path;
}

TEST_F(ControlTest, FileSizeAndTextOfTheCurrentPicture) {
  EXPECT_EQ(value("CurrentFileSize"), Variant(0)) << "no current picture";
  EXPECT_EQ(value("CurrentMidi", {1}), Variant(""));
  tree_.write("empty.jpg", "");
  tree_.write("five.jpg", "12345");
  scan(tree_.path());
  // Folder order is the platform's; both pictures are visited.
  std::set<std::string> seen;
  for (int i = 0; i < 2; ++i) {
    const Variant name = value("CurrentShortName");
    seen.insert(name.text());
    EXPECT_EQ(value("CurrentFileSize"), Variant(name == Variant("five.jpg") ? 5 : 0))
        << describe(name);
    EXPECT_EQ(value("CurrentMidi", {1}), value("CurrentName"));
    EXPECT_EQ(value("CurrentMidi", {0}), value("CurrentName"));
    ASSERT_EQ(method("Next").hr, kSOk);
  }
  EXPECT_EQ(seen, (std::set<std::string>{"empty.jpg", "five.jpg"}));
}

TEST_F(ControlTest, PromptForPathGivesTheChosenFolderWithItsSeparator) {
  struct Case {
    std::optional<std::string> chosen;
    std::string result;
  } cases[] = {
      {"/home/u/Pics", "/home/u/Pics/"},
      {"/home/u/Pics/", "/home/u/Pics/"},
      {"/", "/"},
      {std::nullopt, ""},                        // cancelled
      {"/" + std::string(kMaxPath, 'p'), ""},    // too long to be a path: refused
  };
  for (const Case& c : cases) {
    onUi([&] { dialogs_.folder = c.chosen; });
    Answer answer = method("PromptForPath", {"/home/u", "Choose a folder"});
    EXPECT_EQ(answer.hr, kSOk);
    EXPECT_EQ(answer.value, Variant(c.result)) << c.result;
  }
  onUi([&] {
    ASSERT_EQ(dialogs_.prompts.size(), std::size(cases));
    EXPECT_EQ(dialogs_.prompts[0].startingFolder, "/home/u");
    EXPECT_EQ(dialogs_.prompts[0].caption, "Choose a folder");
  });
}

}  // namespace
}  // namespace lumorel
