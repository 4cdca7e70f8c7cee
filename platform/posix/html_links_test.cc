#include "platform/posix/html_links.h"

#include <gtest/gtest.h>

namespace lumorel {
namespace {

constexpr const char* kPage = "http://example.com/pics/index.html";
constexpr HtmlLinkKind kA = HtmlLinkKind::kAnchor;
constexpr HtmlLinkKind kImg = HtmlLinkKind::kImage;
constexpr HtmlLinkKind kFrame = HtmlLinkKind::kFrame;

struct LinkCase {
  const char* what;
  const char* html;
  std::vector<HtmlLink> expected;
};

TEST(HtmlLinks, FindsTheLinksAsABrowserReadsThem) {
  const LinkCase cases[] = {
      {"the linking tags",
       "<a href=a.html>x</a><img src=b.jpg><area href=c.html><frame src=d.html>"
       "<iframe src=e.html></iframe>",
       {{kA, "http://example.com/pics/a.html"},
        {kImg, "http://example.com/pics/b.jpg"},
        {kA, "http://example.com/pics/c.html"},
        {kFrame, "http://example.com/pics/d.html"},
        {kFrame, "http://example.com/pics/e.html"}}},
      {"quotes of either kind and none",
       "<a href=\"one two.jpg\"><a href='it\"s.jpg'><a href=bare.jpg>",
       {{kA, "http://example.com/pics/one%20two.jpg"},
        {kA, "http://example.com/pics/it%22s.jpg"},
        {kA, "http://example.com/pics/bare.jpg"}}},
      {"any case, spaces around '=', other attributes first",
       "<A HREF = \"Up.JPG\"><IMG alt='<a href=no.jpg>' Src=Pic.Gif><a\nhref\n=\nnl.png>",
       {{kA, "http://example.com/pics/Up.JPG"},
        {kImg, "http://example.com/pics/Pic.Gif"},
        {kA, "http://example.com/pics/nl.png"}}},
      {"a self-closing tag and an unquoted value ending at '>'",
       "<img src=a.png/><img src=b.png>",
       {{kImg, "http://example.com/pics/a.png/"}, {kImg, "http://example.com/pics/b.png"}}},
      {"the first of two same attributes counts",
       "<a href=first.jpg HREF=second.jpg>",
       {{kA, "http://example.com/pics/first.jpg"}}},
      {"character references",
       "<a href=\"show?a=1&amp;b=2\"><a href='&#47;root&#x2F;x.jpg'><a "
       "href=\"&lt;&gt;&quot;&apos;\">"
       "<a href=\"&copy;&amp\"><a href=\"caf&#233;.jpg\"><a href=\"&#0;&#xD800;&#99999999;\">",
       {{kA, "http://example.com/pics/show?a=1&b=2"},
        {kA, "http://example.com/root/x.jpg"},
        {kA, "http://example.com/pics/%3C%3E%22'"},
        {kA, "http://example.com/pics/&copy;&amp"},
        {kA, "http://example.com/pics/caf%C3%A9.jpg"},
        {kA, "http://example.com/pics/%EF%BF%BD%EF%BF%BD%EF%BF%BD"}}},
      {"absolute, protocol-relative and root-relative addresses",
       "<a href=http://other.org/x.jpg><a href=//cdn.net/y.jpg><a href=/z.jpg>"
       "<a href=../up.html>",
       {{kA, "http://other.org/x.jpg"},
        {kA, "http://cdn.net/y.jpg"},
        {kA, "http://example.com/z.jpg"},
        {kA, "http://example.com/up.html"}}},
      {"fragments dropped",
       "<a href=#top><a href=b.html#part>",
       {{kA, "http://example.com/pics/index.html"}, {kA, "http://example.com/pics/b.html"}}},
      {"other schemes and empty values left out",
       "<a href=\"javascript:go('x.jpg')\"><a href=mailto:me@example.com>"
       "<img src=\"data:image/png;base64,iVBOR\"><a href=ftp://example.com/x.jpg>"
       "<a href=file:///etc/passwd><a href=\"\"><a href=\"  \"><a href><a>",
       {}},
      {"no tags in comments, scripts, styles, titles and text areas",
       "<!-- <a href=c1.jpg> --><script>document.write('<a href=s.jpg>')</script>"
       "<STYLE>a { background: url(<img src=st.jpg>) }</style><title><a href=t.jpg></title>"
       "<textarea><img src=ta.jpg></TEXTAREA><a href=after.jpg>",
       {{kA, "http://example.com/pics/after.jpg"}}},
      {"end tags, declarations and stray '<' are not links",
       "<!DOCTYPE html><?xml x?></a href=e.jpg>1 < 2 <3 <<a href=ok.jpg>",
       {{kA, "http://example.com/pics/ok.jpg"}}},
      {"a text cut off inside a tag",
       "<a href=whole.jpg><img src=\"cut.jp",
       {{kA, "http://example.com/pics/whole.jpg"}, {kImg, "http://example.com/pics/cut.jp"}}},
      {"an unclosed comment hides the rest",
       "<a href=a.jpg><!-- <a href=b.jpg>",
       {{kA, "http://example.com/pics/a.jpg"}}},
      {"a script never closed hides the rest", "<script>var s = '<a href=x.jpg>';", {}},
      {"a repeated link is given each time",
       "<a href=r.jpg><img src=r.jpg>",
       {{kA, "http://example.com/pics/r.jpg"}, {kImg, "http://example.com/pics/r.jpg"}}},
  };
  for (const LinkCase& c : cases) {
    EXPECT_EQ(extractHtmlLinks(c.html, kPage), c.expected) << c.what;
  }
}

TEST(HtmlLinks, TheFirstBaseAppliesToEveryLink) {
  const LinkCase cases[] = {
      {"a base after the first link still applies to it",
       "<a href=a.jpg><base href=\"http://cdn.example.org/img/\"><img src=b.png>",
       {{kA, "http://cdn.example.org/img/a.jpg"}, {kImg, "http://cdn.example.org/img/b.png"}}},
      {"a relative base is taken against the page",
       "<base href=../other/><a href=a.jpg>",
       {{kA, "http://example.com/other/a.jpg"}}},
      {"only the first base with an href counts",
       "<base target=_blank><base href=/one/><base href=/two/><a href=a.jpg>",
       {{kA, "http://example.com/one/a.jpg"}}},
      {"a base that is no web address leaves the page's own",
       "<base href=\"javascript:x\"><a href=a.jpg>",
       {{kA, "http://example.com/pics/a.jpg"}}},
      {"a base in a comment does not count",
       "<!--<base href=/no/>--><a href=a.jpg>",
       {{kA, "http://example.com/pics/a.jpg"}}},
  };
  for (const LinkCase& c : cases) {
    EXPECT_EQ(extractHtmlLinks(c.html, kPage), c.expected) << c.what;
  }
}

}  // namespace
}  // namespace lumorel
