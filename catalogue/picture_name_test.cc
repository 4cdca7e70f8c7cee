#include "catalogue/picture_name.h"

#include <gtest/gtest.h>

namespace lumorel {
namespace {

TEST(IsPictureName, MatchesTheTenExtensionsInAnyCase) {
  for (const char* name : {"a.jpg", "PHOTO.JPG", "b.Gif", "c.jpeg", "d.BMP", "e.png", "f.xbm",
                           "g.xif", "h.art", "i.PICT", "j.jpe", ".jpg", "x.tar.png"}) {
    EXPECT_TRUE(isPictureName(name)) << name;
  }
  for (const char* name : {"photo.jpg.txt", "a.jpgx", "a.tif", "jpg", "a.pic", "a.jp", "",
                           "a.j\xd0\xb5g", "a.JPEG "}) {
    EXPECT_FALSE(isPictureName(name)) << name;
  }
}

}  // namespace
}  // namespace lumorel
