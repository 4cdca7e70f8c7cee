#include "host/authentication.h"

#include <gtest/gtest.h>

namespace lumorel {
namespace {

TEST(Authentication, TheTokenHeaderOrThisPortsCookieAdmitsAndNothingElse) {
  const Authentication auth("tok", "cookie-secret");
  struct Case {
    std::string header, cookie;
    bool admitted;
  } cases[] = {
      {"tok", "", true},
      {"", "lumorel-4714=cookie-secret", true},
      {"", "a=b; lumorel-4714=cookie-secret; c=d", true},
      {"", "lumorel-4714 = cookie-secret ", true},
      {"", "", false},
      {"tok2", "", false},
      {"to", "", false},
      // A wrong header is not rescued by a cookie.
      {"wrong", "lumorel-4714=cookie-secret", false},
      // The token is not the cookie's value, nor the cookie the token.
      {"", "lumorel-4714=tok", false},
      {"cookie-secret", "", false},
      // Another port's cookie, or this one's name inside another's.
      {"", "lumorel-4715=cookie-secret", false},
      {"", "xlumorel-4714=cookie-secret", false},
      {"", "lumorel-4714=cookie-secretx", false},
      {"", "lumorel-4714=", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(auth.admits(4714, c.header, c.cookie), c.admitted) << c.header << " | " << c.cookie;
  EXPECT_FALSE(Authentication("", "").admits(4714, "", "lumorel-4714="))
      << "an empty secret admits nobody";
}

TEST(Authentication, AFirstVisitLosesItsTokenAndKeepsTheRestOfTheAddress) {
  const Authentication auth("t0k", "s");
  struct Case {
    std::string target;
    std::optional<std::string> rest;
  } cases[] = {
      {"/lm:main?token=t0k", "/lm:main"},
      {"/lm:&rsrc=mainimg&2=0&1=?token=t0k", "/lm:&rsrc=mainimg&2=0&1="},
      {"/lm:x?a=1&token=t0k&b=2", "/lm:x?a=1&b=2"},
      {"/lm:main?token=t%30k", "/lm:main"},
      {"/lm:main", std::nullopt},
      {"/lm:main?token=wrong", std::nullopt},
      {"/lm:main?token=", std::nullopt},
      {"/lm:main?a=1&token=t0k&token=bad", std::nullopt},
      {"/lm:main?xtoken=t0k", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(auth.firstVisit(c.target), c.rest) << c.target;
}

TEST(Authentication, TheCookieIsThePortsOwnAndStaysOutOfScriptsAndOtherSites) {
  const std::string cookie = Authentication("t", "s3cret").cookieFor(4714);
  EXPECT_EQ(cookie, "lumorel-4714=s3cret; HttpOnly; SameSite=Strict; Path=/");
}

}  // namespace
}  // namespace lumorel
