#include "platform/posix/web_address.h"

#include <gtest/gtest.h>

namespace lumorel {
namespace {

constexpr const char* kPage = "http://example.com/gallery/2001/index.html?page=2";

struct ResolveCase {
  const char* reference;
  const char* expected;  // null: no web address
};

TEST(WebAddress, ResolvesAgainstThePage) {
  const ResolveCase cases[] = {
      // Relative to the page's folder, to the host, to the scheme.
      {"b.jpg", "http://example.com/gallery/2001/b.jpg"},
      {"./sub/c.png", "http://example.com/gallery/2001/sub/c.png"},
      {"../2002/", "http://example.com/gallery/2002/"},
      {"/top.gif", "http://example.com/top.gif"},
      {"//cdn.example.net/x.jpg", "http://cdn.example.net/x.jpg"},
      {"https://Other.Example.ORG", "https://other.example.org/"},
      {"HTTP://HOST.example/Path/A.JPG", "http://host.example/Path/A.JPG"},
      // The page itself, another query of it, a fragment of it.
      {"", "http://example.com/gallery/2001/index.html?page=2"},
      {"?page=3", "http://example.com/gallery/2001/index.html?page=3"},
      {"#top", "http://example.com/gallery/2001/index.html?page=2"},
      {"b.jpg#part", "http://example.com/gallery/2001/b.jpg"},
      {"b.jpg?x=1#part", "http://example.com/gallery/2001/b.jpg?x=1"},
      // ".." never climbs above the root; encoded dots are not segments.
      {"../../../../x.jpg", "http://example.com/x.jpg"},
      {"/a/./b/../../../x.jpg", "http://example.com/x.jpg"},
      {"%2e%2e/%2E%2E/x.jpg", "http://example.com/gallery/2001/%2e%2e/%2E%2E/x.jpg"},
      // Cleaning: white space, line breaks, backslashes, unsafe bytes.
      {"  b.jpg\n", "http://example.com/gallery/2001/b.jpg"},
      {"b\n.j\tpg", "http://example.com/gallery/2001/b.jpg"},
      {"my photo.jpg", "http://example.com/gallery/2001/my%20photo.jpg"},
      {"\xC3\xA9t\xC3\xA9.jpg", "http://example.com/gallery/2001/%C3%A9t%C3%A9.jpg"},
      {"a\"<b>`.jpg", "http://example.com/gallery/2001/a%22%3Cb%3E%60.jpg"},
      {"sub\\c.jpg?q=a\\b", "http://example.com/gallery/2001/sub/c.jpg?q=a%5Cb"},
      // Host case, user name and port.
      {"http://User@WWW.Example.com:8080/x", "http://User@www.example.com:8080/x"},
      {"http://[::1]:80/x", "http://[::1]:80/x"},
      // Not web addresses.
      {"javascript:show(1)", nullptr},
      {"JavaScript:void(0)", nullptr},
      {"mailto:someone@example.com", nullptr},
      {"data:image/png;base64,AAAA", nullptr},
      {"ftp://example.com/x.jpg", nullptr},
      {"file:///etc/passwd", nullptr},
      {"http:x.jpg", nullptr},
      {"http:///x.jpg", nullptr},
      {"http://user@/x.jpg", nullptr},
  };
  for (const ResolveCase& c : cases) {
    std::optional<std::string> got = resolveWebAddress(kPage, c.reference);
    if (c.expected) {
      EXPECT_EQ(got, std::optional<std::string>(c.expected)) << "reference: " << c.reference;
    } else {
      EXPECT_EQ(got, std::nullopt) << "reference: " << c.reference;
    }
  }
}

TEST(WebAddress, ResolvesAgainstBasesOfEveryShape) {
  struct Case {
    const char* base;
    const char* reference;
    const char* expected;
  };
  const Case cases[] = {
      {"http://h", "x.jpg", "http://h/x.jpg"},
      {"http://h?q", "", "http://h/?q"},
      {"http://h/dir/", "x.jpg", "http://h/dir/x.jpg"},
      {"https://h/a/b", "//i/y", "https://i/y"},
      {"http://h/a/b", "https://i", "https://i/"},
      // A base that is not a web address makes only absolute references work.
      {"file:///tmp/page.html", "x.jpg", nullptr},
      {"not an address", "x.jpg", nullptr},
      {"not an address", "http://h/x.jpg", "http://h/x.jpg"},
  };
  for (const Case& c : cases) {
    std::optional<std::string> got = resolveWebAddress(c.base, c.reference);
    EXPECT_EQ(got, c.expected ? std::optional<std::string>(c.expected) : std::nullopt)
        << c.base << " + " << c.reference;
  }
}

TEST(WebAddress, ResolvingAResultAgainItselfChangesNothing) {
  for (const char* reference : {"b.jpg", "my photo.jpg", "/a/../b?x=1", "//h/%41"}) {
    std::optional<std::string> once = resolveWebAddress(kPage, reference);
    ASSERT_TRUE(once) << reference;
    EXPECT_EQ(resolveWebAddress(*once, *once), once) << reference;
  }
}

TEST(WebAddress, HostLeavesOutUserAndPort) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://example.com/x", "example.com"},
      {"http://User:pw@Example.COM:8080/x", "example.com"},
      {"https://[::1]:443/", "[::1]"},
      {"http://h?x", "h"},
      {"mailto:a@b", ""},
  };
  for (const auto& [address, host] : cases) EXPECT_EQ(webAddressHost(address), host) << address;
}

}  // namespace
}  // namespace lumorel
