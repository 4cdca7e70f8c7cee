#include "host/desktop/mime_defaults.h"

#include <gtest/gtest.h>

namespace lumorel {
namespace {

constexpr char kType[] = "x-scheme-handler/lm";
constexpr char kOurs[] = "lumorel-url-handler.desktop";

TEST(MimeDefaults, SettingTheDefaultKeepsEveryOtherLine) {
  struct Case {
    const char* name;
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"no file", "", "[Default Applications]\nx-scheme-handler/lm=lumorel-url-handler.desktop;\n"},
      {"another group only",
       "[Added Associations]\ntext/plain=gedit.desktop;\n",
       "[Added Associations]\ntext/plain=gedit.desktop;\n\n[Default Applications]\n"
       "x-scheme-handler/lm=lumorel-url-handler.desktop;\n"},
      {"the group without the type",
       "[Default Applications]\ntext/html=firefox.desktop\n[Added Associations]\n",
       "[Default Applications]\nx-scheme-handler/lm=lumorel-url-handler.desktop;\n"
       "text/html=firefox.desktop\n[Added Associations]\n"},
      {"another program's default replaced",
       "[Default Applications]\nx-scheme-handler/lm = other.desktop;\ntext/html=firefox.desktop\n",
       "[Default Applications]\nx-scheme-handler/lm=lumorel-url-handler.desktop;\n"
       "text/html=firefox.desktop\n"},
      {"the same type in another group stays",
       "[Added Associations]\nx-scheme-handler/lm=other.desktop;\n[Default Applications]\n",
       "[Added Associations]\nx-scheme-handler/lm=other.desktop;\n[Default Applications]\n"
       "x-scheme-handler/lm=lumorel-url-handler.desktop;\n"},
  };
  for (const Case& c : cases) {
    const std::string once = withDefaultApplication(c.before, kType, kOurs);
    EXPECT_EQ(once, c.after) << c.name;
    EXPECT_EQ(withDefaultApplication(once, kType, kOurs), once) << c.name << ": twice";
  }
}

TEST(MimeDefaults, RemovingTakesOnlyLumorelsDefault) {
  struct Case {
    const char* name;
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"alone on its line",
       "[Default Applications]\nx-scheme-handler/lm=lumorel-url-handler.desktop;\ntext/html=a.desktop\n",
       "[Default Applications]\ntext/html=a.desktop\n"},
      {"with another program after it",
       "[Default Applications]\nx-scheme-handler/lm=lumorel-url-handler.desktop;other.desktop;\n",
       "[Default Applications]\nx-scheme-handler/lm=other.desktop;\n"},
      {"another program's default stays",
       "[Default Applications]\nx-scheme-handler/lm=other.desktop;\n",
       "[Default Applications]\nx-scheme-handler/lm=other.desktop;\n"},
      {"in another group it is not a default",
       "[Added Associations]\nx-scheme-handler/lm=lumorel-url-handler.desktop;\n",
       "[Added Associations]\nx-scheme-handler/lm=lumorel-url-handler.desktop;\n"},
      {"a file without a last line end is kept as it is", "# mine", "# mine"},
  };
  for (const Case& c : cases) EXPECT_EQ(withoutDefaultApplication(c.before, kType, kOurs), c.after) << c.name;
}

TEST(MimeDefaults, SettingAndRemovingGivesTheUsersFileBack) {
  const std::string users =
      "# my choices\n[Default Applications]\ntext/html=firefox.desktop\n\n[Added Associations]\n"
      "image/png=gimp.desktop;\n";
  EXPECT_EQ(withoutDefaultApplication(withDefaultApplication(users, kType, kOurs), kType, kOurs),
            users);
}

}  // namespace
}  // namespace lumorel
