#include "protocol/page_request.h"

#include <gtest/gtest.h>

namespace lumorel {
namespace {

struct RequestCase {
  std::string url;
  bool parameterForm;
  std::string pageName;
  std::vector<std::pair<int, std::string>> inserts;  // (1..4, value)
  std::string save;
  std::string src;
};

TEST(ParsePageRequest, ReadsBothFormsAndTheKeywords) {
  const RequestCase cases[] = {
      {"lm:main", false, "main", {}, "", ""},
      {"lm:", false, "", {}, "", ""},
      {"lm:UtilsHelp?x=1#top&rsrc=keys", false, "UtilsHelp?x=1#top&rsrc=keys", {}, "", ""},
      {"lm:&", true, "", {}, "", ""},
      {"lm:&1=x", true, "", {{1, "x"}}, "", ""},
      {"lm:&rsrc=MAINIMG&2=1", true, "MAINIMG", {{2, "1"}}, "", ""},
      {"lm:&rsrc=mainimg&2=0&1=", true, "mainimg", {{1, ""}, {2, "0"}}, "", ""},
      {"lm:&rsrc=mainimg&1=&2=0&3=1", true, "mainimg", {{1, ""}, {2, "0"}, {3, "1"}}, "", ""},
      {"lm:&a=1&rsrc=keys", true, "keys", {}, "", ""},
      {"lm:&rsrc=keys&rsrc=about", true, "about", {}, "", ""},
      {"lm:&RsRc=keys&X1=a&save1=b&4=c&4=d", true, "keys", {{1, "b"}, {4, "d"}}, "", ""},
      {"lm:&ssrc=http://h/&Rsrc=p", true, "p", {}, "", "http://h/"},
      {"lm:&x!rsrc=keys", true, "keys", {}, "", ""},
      {"lm:&!!rsrc=keys", true, "keys", {}, "", ""},
      {"lm:&r&src=keys", true, "keys", {}, "", ""},  // "&" inside a key is passed over
      {"lm:&rsrc", true, "", {}, "", ""},            // a key without "=" is dropped
      {"lm:&rsrc=a=b", true, "a=b", {}, "", ""},
      {"lm:&=keys&rsrc==", true, "=", {}, "", ""},
      {"lm:&save=C%3A%5Cp%5Ca.jpg&src=http://h/a.jpg?x=1&y=2", true, "", {},
       "C%3A%5Cp%5Ca.jpg", "http://h/a.jpg?x=1"},
      {"lm:&save=a.jpg&src=", true, "", {}, "a.jpg", ""},
      {"LM:&rsrc=keys", true, "keys", {}, "", ""},
  };
  for (const RequestCase& c : cases) {
    SCOPED_TRACE(c.url);
    PageRequest r = parsePageRequest(c.url);
    EXPECT_EQ(r.parameterForm, c.parameterForm);
    EXPECT_EQ(r.pageName, c.pageName);
    std::array<std::optional<std::string>, 4> inserts;
    for (const auto& [n, v] : c.inserts) inserts[static_cast<std::size_t>(n - 1)] = v;
    EXPECT_EQ(r.inserts, inserts);
    EXPECT_EQ(r.formatted, !c.inserts.empty());
    EXPECT_EQ(r.save, c.save);
    EXPECT_EQ(r.src, c.src);
  }
}

TEST(ParsePageRequest, HoldsTheValueLimitAtItsEdge) {
  const std::string longest(kMaxValueLength, 'v');
  PageRequest fits = parsePageRequest("lm:&2=" + longest + "&rsrc=keys");
  EXPECT_EQ(fits.inserts[1], longest);
  EXPECT_EQ(fits.pageName, "keys");

  // One more: that pair is an error at its last character, and the scan
  // goes on in key mode from there ("v", then "&" passed over, then "rsrc").
  PageRequest over = parsePageRequest("lm:&2=" + longest + "v&rsrc=keys");
  EXPECT_EQ(over.inserts[1], std::nullopt);
  EXPECT_FALSE(over.formatted);
  EXPECT_EQ(over.pageName, "keys");
}

TEST(ParsePageRequest, HoldsTheKeyLimitAtItsEdge) {
  // 251 + "rsrc" is a key of 255 characters; one more and it is an error
  // at its last "c", after which the key "c" selects nothing.
  EXPECT_EQ(parsePageRequest("lm:&" + std::string(251, 'k') + "rsrc=keys").pageName, "keys");
  EXPECT_EQ(parsePageRequest("lm:&" + std::string(252, 'k') + "rsrc=keys").pageName, "");
}

}  // namespace
}  // namespace lumorel
