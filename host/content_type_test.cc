#include "host/content_type.h"

#include <gtest/gtest.h>

#include <string>

namespace lumorel {
namespace {

TEST(ContentType, ToldFromTheBytes) {
  struct Case {
    std::string bytes;
    std::string_view type;
  } cases[] = {
      {"<html><head>", "text/html"},
      {"\r\n  <!DOCTYPE html>", "text/html"},
      {"\xEF\xBB\xBF<HTML>", "text/html"},
      {"<!-- comment --><p>", "text/html"},
      {std::string("<html>x") + '\0', "text/html"},
      {std::string("GIF89a\x01\x00", 8), "image/gif"},
      {"GIF87a", "image/gif"},
      {"\xFF\xD8\xFF\xE0", "image/jpeg"},
      {"\x89PNG\r\n\x1A\n....", "image/png"},
      {std::string("BM\x36\x00", 4), "image/bmp"},
      {std::string("RIFF\x10\x00\x00\x00WEBPVP8 ", 16), "image/webp"},
      {"plain words < and >", "text/plain"},
      {"< not a tag", "text/plain"},
      {std::string("bin\0ary", 7), "application/octet-stream"},
  };
  for (const Case& c : cases) EXPECT_EQ(sniffContentType(c.bytes), c.type) << c.bytes;
}

}  // namespace
}  // namespace lumorel
