#include "protocol/protocol_info.h"

#include <gtest/gtest.h>

#include <thread>

#include "protocol/protocol_codes.h"

namespace lumorel {
namespace {

std::u16string u16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }
std::string ascii(std::u16string_view text) { return std::string(text.begin(), text.end()); }

TEST(FindParameter1, TakesTheFirstPairThatSelectsOne) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"lm:main", std::nullopt},
      {"lm:&rsrc=mainimg&2=0", std::nullopt},
      {"lm:&rsrc=mainimg&2=0&1=", ""},
      {"lm:&1=first&1=second", "first"},
      {"lm:&x!a1=v&1=w", "v"},
      {"xx:&1=v", "v"},  // only the fourth character is looked at
      {"lm:&1=http://h/a?b=c&2=1", "http://h/a?b=c"},
      {"lm:&1", std::nullopt},
  };
  for (const auto& [url, value] : cases) {
    std::optional<std::u16string> found = findParameter1(u16(url));
    EXPECT_EQ(found ? std::optional<std::string>(ascii(*found)) : std::nullopt, value) << url;
  }
  // The value may hold 2,083 units; one more is an error that ends that
  // pair, and the scan goes on from the unit that did not fit.
  const std::string longest(kMaxParseValueLength, 'v');
  EXPECT_EQ(findParameter1(u16("lm:&1=" + longest)), u16(longest));
  EXPECT_EQ(findParameter1(u16("lm:&1=" + longest + "w&1=x")), u"x");
  EXPECT_EQ(findParameter1(u"lm:&1=\u00e9\u4e2d"), u"\u00e9\u4e2d") << "UTF-16 units, kept";
}

TEST(SplitUrl, FindsSchemeAndHost) {
  struct Case {
    std::string text;
    std::optional<std::pair<std::string, std::string>> site;
  };
  const std::string host255(255, 'h'), scheme31(31, 's');
  const Case cases[] = {
      {"http://H:8080/gallery/p.htm", {{"http", "H"}}},
      {"http://H/gallery/p.htm", {{"http", "H"}}},
      {"https://example.org", {{"https", "example.org"}}},
      {"H/x", {{"", "H"}}},
      {"mailto:someone", {{"", "mailto"}}},
      {"http://H:(8080)/", {{"http", "H"}}},
      {"http://H:123456789/", {{"http", "H"}}},
      {"http://H:1234567890", {{"http", "H"}}},  // ten digits, then the end
      {"http://H:1234567890/", std::nullopt},   // ten digits and more text
      {"http://H:12345678901/", std::nullopt},
      {"file:///C:/x.htm", std::nullopt},
      {"", std::nullopt},
      {"/x", std::nullopt},
      {"http://" + host255 + "/", {{"http", host255}}},
      {"http://" + host255 + "h/", std::nullopt},
      {scheme31 + "://h/", {{scheme31, "h"}}},
      {scheme31 + "s://h/", std::nullopt},
      {"ab:/cd/h/", {{"abcd", "h"}}},  // after ":/", characters but "/" join the scheme
  };
  for (const Case& c : cases) {
    std::optional<UrlSite> site = splitUrl(u16(c.text));
    ASSERT_EQ(site.has_value(), c.site.has_value()) << c.text;
    if (site) {
      EXPECT_EQ(ascii(site->scheme), c.site->first) << c.text;
      EXPECT_EQ(ascii(site->host), c.site->second) << c.text;
    }
  }
}

// ParseUrl's result for `action`, given a buffer of `size` characters.
struct Parsed {
  HResult hr;
  uint32_t length;
  std::string text;
};
Parsed parse(const std::string& url, uint32_t action, uint32_t size = 300) {
  std::u16string buffer(size, u'#');
  uint32_t length = 9999;
  HResult hr = ParseUrl(u16(url), action, 0, buffer.data(), size, &length);
  std::string text = hr == kSOk ? ascii(buffer.c_str()) : ascii(buffer);
  return {hr, length, text};
}

TEST(ParseUrl, MapsPagesIntoTheirSites) {
  const std::string gallery = "lm:&rsrc=mainimg&2=1&1=http://H/gallery/p.htm";
  struct Case {
    std::string url;
    uint32_t action;
    std::string result;
  };
  const Case cases[] = {
      {"lm:main", kParseSecurityUrl, "http:"},
      {"lm:&rsrc=mainimg&2=0&1=", kParseSecurityUrl, "http:"},
      {gallery, kParseSecurityUrl, "http://H/"},
      {"lm:&1=http://H:12345678901/", kParseSecurityUrl, "http:"},
      {"lm:&1=file:///C:/x.htm", kParseSecurityUrl, "http:"},
      {"lm:keys", kParseDomain, "local"},
      {"lm:&1=http://H:8080/", kParseDomain, "H"},
      {"lm:&1=http://H:8080/", kParseSecurityDomain, "H"},
      {"lm:&rsrc=mainimg&1=", kParseSecurityDomain, "local"},
      {"lm:main", kParseFriendly, "Lumorel"},
      {gallery, kParseFriendly, "http"},
      {"lm:&1=https://H/", kParseFriendly, "Lumorel"},
      {"lm:&1=", kParseFriendly, "Lumorel"},
  };
  for (const Case& c : cases) {
    Parsed p = parse(c.url, c.action);
    EXPECT_EQ(p.hr, kSOk) << c.url;
    EXPECT_EQ(p.text, c.result) << c.url << " action " << c.action;
    EXPECT_EQ(p.length, c.result.size()) << c.url;
  }
}

TEST(ParseUrl, LeavesOtherActionsToTheClient) {
  for (uint32_t action : {kParseCanonicalize, kParseEncode, 0u, 4u, 16u, 99u}) {
    Parsed p = parse("lm:&1=http://H/", action, 10);
    EXPECT_EQ(p.hr, kInetEDefaultAction) << action;
    EXPECT_EQ(p.text, std::string(10, '#')) << "nothing written";
    EXPECT_EQ(p.length, 9999u);
  }
}

TEST(ParseUrl, ABufferWithoutRoomForTheNulIsTooSmall) {
  const std::string url = "lm:&1=http://H/";  // security URL "http://H/", 9 characters
  Parsed exact = parse(url, kParseSecurityUrl, 9);
  EXPECT_EQ(exact.hr, kErrorInsufficientBuffer);
  EXPECT_EQ(exact.hr, 122);
  EXPECT_EQ(exact.length, 9u);
  EXPECT_EQ(exact.text, std::string(9, '#')) << "nothing copied";

  Parsed fits = parse(url, kParseSecurityUrl, 10);
  EXPECT_EQ(fits.hr, kSOk);
  EXPECT_EQ(fits.text, "http://H/");

  uint32_t length = 0;
  EXPECT_EQ(ParseUrl(u"lm:main", kParseDomain, 0, nullptr, 0, &length), 122);
  EXPECT_EQ(length, 5u);
  char16_t buffer[8];
  EXPECT_EQ(ParseUrl(u"lm:main", kParseDomain, 0, buffer, 8, nullptr), kSOk);
  EXPECT_EQ(std::u16string(buffer), u"local");
}

TEST(ParseUrl, TwoThreadsAskAtOnce) {
  auto ask = [](const std::string& url, const std::string& expected) {
    for (int i = 0; i < 2000; ++i) {
      Parsed p = parse(url, kParseSecurityUrl);
      if (p.text != expected) {
        ADD_FAILURE() << url << " gave " << p.text;
        return;
      }
    }
  };
  std::thread other(ask, "lm:&1=https://one.example/a", "https://one.example/");
  ask("lm:&2=1&1=http://two.example:81/b", "http://two.example/");
  other.join();
}

TEST(CombineAndCompareUrl, AreLeftToTheClient) {
  char16_t buffer[4] = {u'#', u'#', u'#', u'#'};
  uint32_t length = 7;
  EXPECT_EQ(CombineUrl(u"lm:main", u"keys", 0, buffer, 4, &length), kInetEDefaultAction);
  EXPECT_EQ(buffer[0], u'#');
  EXPECT_EQ(length, 7u);
  EXPECT_EQ(CompareUrl(u"lm:main", u"lm:main", 0), kInetEDefaultAction);
  EXPECT_EQ(kInetEDefaultAction, static_cast<HResult>(0x800C0011u));
}

TEST(QueryInfo, AnswersSevenOptionsWithABoolean) {
  const std::pair<uint32_t, uint32_t> answers[] = {
      {kQueryRefresh, 1},      {kQueryCanNavigate, 1},      {kQueryUsesNetwork, 0},
      {kQueryIsCached, 0},     {kQueryIsInstalledEntry, 1}, {kQueryIsCachedOrMapped, 1},
      {kQueryUsesCache, 0},
  };
  for (const auto& [option, answer] : answers) {
    uint32_t buffer[2] = {77, 77};
    uint32_t size = 0;
    EXPECT_EQ(QueryInfo(u"lm:main", option, 0, buffer, 8, &size), kSOk) << option;
    EXPECT_EQ(buffer[0], answer) << option;
    EXPECT_EQ(buffer[1], 77u) << "32 bits only";
    EXPECT_EQ(size, 4u);

    uint32_t small = 77;
    size = 9;
    EXPECT_EQ(QueryInfo(u"lm:main", option, 0, &small, 2, &size), kEInvalidArg) << option;
    EXPECT_EQ(QueryInfo(u"lm:main", option, 0, &small, 3, &size), kEInvalidArg) << option;
    EXPECT_EQ(QueryInfo(u"lm:main", option, 0, nullptr, 4, &size), kEInvalidArg) << option;
    EXPECT_EQ(QueryInfo(u"lm:main", option, 0, &small, 4, nullptr), kEInvalidArg) << option;
    EXPECT_EQ(small, 77u);
    EXPECT_EQ(size, 9u);
  }
  for (uint32_t option : {kQueryContentType, 0u, 1u, 6u, 13u, 100u}) {
    uint32_t buffer = 77, size = 9;
    EXPECT_EQ(QueryInfo(u"lm:main", option, 0, &buffer, 4, &size), kInetEDefaultAction);
    EXPECT_EQ(size, 0u) << option;
    EXPECT_EQ(buffer, 77u);
    EXPECT_EQ(QueryInfo(u"lm:main", option, 0, &buffer, 4, nullptr), kInetEDefaultAction);
  }
}

}  // namespace
}  // namespace lumorel
