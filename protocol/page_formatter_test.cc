#include "protocol/page_formatter.h"

#include <gtest/gtest.h>

#include <random>

namespace lumorel {
namespace {

const std::array<std::string_view, 4> kInserts = {"A", "B", "C", "D"};

TEST(FormatPage, FollowsTheMessageFormattingRules) {
  const std::pair<std::string, std::string> cases[] = {
      {"%1", "A"},
      {"[%2!s!]", "[B]"},
      {"%4%3%2%1", "DCBA"},
      {"%1!s!!", "A!"},
      {"100%%", "100%"},
      {"a%nb", "a\r\nb"},
      {"a% b%.c%!", "a b.c!"},
      {"width:100%;", "width:100;"},
      {"%r%t%b%x%<", "rtbx<"},
      {"kept%0dropped %5", "kept"},
      {"line\nbreak\r\n\ttab", "line\nbreak\r\n\ttab"},
      {"ends with %", "ends with "},
      {"", ""},
      {std::string("nul\0byte", 8), std::string("nul\0byte", 8)},
  };
  for (const auto& [pageTemplate, formatted] : cases) {
    EXPECT_EQ(formatPage(pageTemplate, kInserts), std::optional<std::string>(formatted))
        << pageTemplate;
  }
}

TEST(FormatPage, RefusesInsertsItCannotFill) {
  for (const char* pageTemplate : {"%5", "%9", "%10", "%12", "%99", "x%1!d!", "%1!s", "%2!",
                                   "%1!ls!"}) {
    EXPECT_EQ(formatPage(pageTemplate, kInserts), std::nullopt) << pageTemplate;
  }
}

TEST(FormatPage, InsertsSideBySideFormNoLineTerminator) {
  std::optional<std::string> text = formatPage("'%1%2'", {"\xE2\x80", "\xA9", "", ""});
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "'\\xE2\\x80\\xA9'");
}

TEST(FormatPage, FillsTheSlideShowPage) {
  // "lm:&rsrc=mainimg&2=0&1=": insert 1 empty, insert 3 not given (a space).
  const std::string page =
      "<script>var site = \"%1!s!\"; var links = '%2!s!'; var dups = '%3!s!';</script>"
      "<div style=\"width:100%;\">";
  EXPECT_EQ(formatPage(page, {"", "0", " ", " "}),
            "<script>var site = \"\"; var links = '0'; var dups = ' ';</script>"
            "<div style=\"width:100;\">");
}

TEST(AppendScriptEscaped, EscapesWhatCouldLeaveAStringLiteral) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain text 0-9 ./:?=#%", "plain text 0-9 ./:?=#%"},
      {"'\"`", "\\x27\\x22\\x60"},
      {"\\", "\\x5C"},
      {"</script><b>", "\\x3C/script\\x3E\\x3Cb\\x3E"},
      {"a&amp;b", "a\\x26amp;b"},
      {"\r\n\t\v", "\\x0D\\x0A\\x09\\x0B"},
      {std::string("\0\x1f\x7f", 3), "\\x00\\x1F\\x7F"},
      {"\xE2\x80\xA8|\xE2\x80\xA9", "\\u2028|\\u2029"},
      {"\xE2\x80\xAA caf\xC3\xA9 \xE2\x82\xAC", "\xE2\x80\xAA caf\xC3\xA9 \xE2\x82\xAC"},
      // Pieces of a line terminator at either end could join the text beside.
      {"\xA8", "\\xA8"},
      {"\x80\xA9\x80x", "\\x80\\xA9\x80x"},
      {"x\xE2", "x\\xE2"},
      {"x\xE2\x80", "x\\xE2\\x80"},
      {"\xE2\x80\xA8\xE2\x80", "\\u2028\\xE2\\x80"},
      {"%1!s!%%", "%1!s!%%"},  // an insert is not formatted again
  };
  for (const auto& [value, escaped] : cases) {
    std::string out = "x";
    appendScriptEscaped(out, value);
    EXPECT_EQ(out, "x" + escaped) << value;
  }
}

// Undoes the escapes that appendScriptEscaped writes, as a script engine
// reads a string literal.
std::string unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] != '\\') {
      out.push_back(s[i++]);
    } else if (s[i + 1] == 'x') {
      out.push_back(static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16)));
      i += 4;
    } else {
      out += s.substr(i + 2, 4) == "2028" ? "\xE2\x80\xA8" : "\xE2\x80\xA9";
      i += 6;
    }
  }
  return out;
}

TEST(AppendScriptEscaped, RandomValuesStayInsideTheLiteralAndReadBackTheSame) {
  std::mt19937 random(20240611);
  const std::string alphabet = std::string("aZ9 '\"`\\<>&/\r\n\t\x01\x7f%!") + "\xE2\x80\xA8\xA9";
  for (int round = 0; round < 2000; ++round) {
    std::string value;
    const int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) {
      value.push_back(random() % 4 == 0 ? static_cast<char>(random() % 256)
                                        : alphabet[random() % alphabet.size()]);
    }
    std::string escaped;
    appendScriptEscaped(escaped, value);
    for (char c : escaped) {
      const auto u = static_cast<unsigned char>(c);
      ASSERT_TRUE(u >= 0x20 && u != 0x7F && std::string_view("'\"`<>&").find(c) == std::string::npos)
          << "escaped " << value << " holds byte " << int(u);
    }
    ASSERT_EQ(escaped.find("\xE2\x80\xA8"), std::string::npos);
    ASSERT_EQ(escaped.find("\xE2\x80\xA9"), std::string::npos);
    ASSERT_EQ(unescape(escaped), value);
  }
}

}  // namespace
}  // namespace lumorel
