// The links of an HTML page, for the offline store's copies of web pages.
#ifndef LUMOREL_PLATFORM_POSIX_HTML_LINKS_H_
#define LUMOREL_PLATFORM_POSIX_HTML_LINKS_H_

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace lumorel {

enum class HtmlLinkKind {
  kAnchor,  // <a href>, <area href>: a page or file the reader may go to
  kImage,   // <img src>: a picture the page shows
  kFrame,   // <frame src>, <iframe src>: a page shown inside the page
};

struct HtmlLink {
  HtmlLinkKind kind;
  std::string address;  // absolute http or https, without fragment

  bool operator==(const HtmlLink&) const = default;
};

std::ostream& operator<<(std::ostream& out, const HtmlLink& link);

// The links of the page `html`, fetched from the absolute address
// `pageAddress`, in the order they stand. Tag and attribute names are taken
// in any case; values quoted with " or ' or not quoted at all; the
// character references &amp; &lt; &gt; &quot; &apos; and numeric ones
// (&#38; &#x26;) in values are decoded. Each address is made absolute
// (resolveWebAddress) against the page's first <base href>, itself made
// absolute against `pageAddress`, or else against `pageAddress`.
//
// Left out: links to anything but http and https (javascript:, mailto:,
// data:, ftp:, file:...), empty values, and tags in comments or inside
// <script>, <style>, <textarea> and <title>, which hold text, not tags.
// A link that stands twice is given twice; the caller decides what to do
// with repeats. A page that is not HTML gives whatever looks like tags in it.
std::vector<HtmlLink> extractHtmlLinks(std::string_view html, std::string_view pageAddress);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_HTML_LINKS_H_
