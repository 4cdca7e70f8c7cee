#include "protocol/save_path.h"

#include <gtest/gtest.h>

namespace lumorel {
namespace {

TEST(DecodeSavePath, DecodesPercentPairsLeftToRight) {
  const std::pair<std::string, std::string> cases[] = {
      {"C%3A%5Cpics%5Ca.jpg", "C:\\pics\\a.jpg"},
      {"/home/u/Pictures/a%20b.jpg", "/home/u/Pictures/a b.jpg"},
      {"%41%4a%4A%6A", "AJJj"},
      {"plain.gif", "plain.gif"},
      {"", ""},
      {"%zz", "S"},        // h('z') = 35: (16 * 35 + 35) mod 256 = 83
      {"%%41", "\xE4" "1"},  // h('%') = -50: (16 * -50 + 4) mod 256 = 228
      {"abc%4", "abc@"},   // one last character: 16 * 4
      {"abc%", "abc%"},    // a "%" that ends the text stays
      {"%252F", "%2F"},    // decoded once only
  };
  for (const auto& [encoded, decoded] : cases) {
    EXPECT_EQ(decodeSavePath(encoded), std::optional<std::string>(decoded)) << encoded;
  }
}

TEST(DecodeSavePath, RefusesANulAndAPathTooLong) {
  for (const char* encoded : {"a.jpg%00.txt", "%00", "x%0", "%g0.jpg"}) {
    EXPECT_EQ(decodeSavePath(encoded), std::nullopt) << encoded;
  }
  const std::string longest(kMaxSavePathLength, 'p');
  EXPECT_EQ(decodeSavePath(longest), std::optional<std::string>(longest));
  EXPECT_EQ(decodeSavePath(longest + "p"), std::nullopt);
  // The limit is on the text as the URL carries it.
  EXPECT_EQ(decodeSavePath(std::string(87, 'p') + std::string(58, 'x') + "%41%41%41%41"),
            std::optional<std::string>(std::string(87, 'p') + std::string(58, 'x') + "AAAA"));
  std::string encodedLong;
  for (int i = 0; i < 87; ++i) encodedLong += "%41";  // 261 characters, 87 decoded
  EXPECT_EQ(decodeSavePath(encodedLong), std::nullopt);
}

}  // namespace
}  // namespace lumorel
