// Our page formatter against the system's FormatMessageA on the same
// templates and inserts: the same text, except that we write each insert
// escaped for a script string literal, which the system does not. So the
// system's output for the inserts escaped our way must be our output.
#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "protocol/page_formatter.h"

namespace lumorel::wine {
namespace {

// The system's formatting of `pageTemplate` with four text inserts; nullopt
// when it refuses. A mark at the end tells an empty result from a refusal;
// a template that ends its output early ("%0") never reaches it.
std::optional<std::string> systemFormat(const std::string& pageTemplate,
                                        const std::array<std::string, 4>& inserts) {
  DWORD_PTR args[4];
  for (int i = 0; i < 4; ++i) args[i] = reinterpret_cast<DWORD_PTR>(inserts[i].c_str());
  const std::string marked = pageTemplate + "|";
  char* out = nullptr;
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY |
                                     FORMAT_MESSAGE_ALLOCATE_BUFFER,
                                 marked.c_str(), 0, 0, reinterpret_cast<LPSTR>(&out), 0,
                                 reinterpret_cast<va_list*>(args));
  std::optional<std::string> text;
  if (out) {
    text = std::string(out, n);
    LocalFree(out);
    if (!text->empty() && text->back() == '|') text->pop_back();
  }
  return text;
}

std::string escaped(const std::string& value) {
  std::string out;
  appendScriptEscaped(out, value);
  return out;
}

TEST(PageFormatter, FormatsAsTheSystemDoes) {
  const char* templates[] = {
      "%1",
      "[%2!s!]",
      "%4%3%2%1",
      "%1!s!!",
      "100%%",
      "a%nb",
      "a% b%.c%!",
      "width:100%;",
      "%b%x%<%q",
      "a\r\nb\tc",
      "kept%0dropped",
      "<script>var site = \"%1!s!\"; var links = '%2!s!'; var dups = '%3!s!';</script>",
      "<div style=\"width:100%;\">%4</div>",
      "plain text without inserts",
  };
  const std::array<std::array<std::string, 4>, 3> insertSets = {{
      {"A", "B", "C", "D"},
      {"", "0", " ", " "},
      {"C:\\Pictures\\", "it's \"quoted\"", "</script><b>&", "line\r\nbreak"},
  }};
  for (const char* pageTemplate : templates) {
    for (const auto& inserts : insertSets) {
      SCOPED_TRACE(std::string(pageTemplate) + " with " + inserts[0] + "|" + inserts[1] + "|" +
                   inserts[2] + "|" + inserts[3]);
      const std::array<std::string, 4> escapedInserts = {escaped(inserts[0]), escaped(inserts[1]),
                                                         escaped(inserts[2]), escaped(inserts[3])};
      const auto system = systemFormat(pageTemplate, escapedInserts);
      const auto ours = formatPage(pageTemplate, {inserts[0], inserts[1], inserts[2], inserts[3]});
      ASSERT_TRUE(system);
      ASSERT_TRUE(ours);
      EXPECT_EQ(*ours, *system);
    }
  }
}

// Wine's FormatMessageA reads "%r" as a carriage return and "%t" as a tab,
// and writes a line feed or a carriage return that stands alone as CR LF; the pages'
// rules give the letter alone, as for every other character after "%", and
// copy line breaks as they stand. Our formatter keeps to the pages' rules,
// so a page's bytes are the same in both shells (the page files end their
// lines with a line feed alone).
TEST(PageFormatter, DiffersFromWineOnlyInPercentRPercentTAndBareLineFeeds) {
  const std::array<std::string, 4> inserts = {"A", "B", "C", "D"};
  const struct {
    const char* pageTemplate;
    const char* ours;
    const char* wine;
  } cases[] = {
      {"%r", "r", "\r"},
      {"%t", "t", "\t"},
      {"a\nb", "a\nb", "a\r\nb"},
      {"a\rb", "a\rb", "a\r\nb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pageTemplate);
    EXPECT_EQ(formatPage(c.pageTemplate, {"A", "B", "C", "D"}), std::optional<std::string>(c.ours));
    EXPECT_EQ(systemFormat(c.pageTemplate, inserts), std::optional<std::string>(c.wine));
  }
}

}  // namespace
}  // namespace lumorel::wine
