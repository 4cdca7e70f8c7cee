#include "catalogue/content_groups.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace lumorel {
namespace {

// The signature as its definition states it, one byte at a time.
uint32_t directSignature(const std::string& bytes) {
  uint32_t signature = 0;
  for (std::size_t k = 1; k <= bytes.size(); ++k) {
    int32_t b = static_cast<signed char>(bytes[k - 1]);
    signature += static_cast<uint32_t>(k) * static_cast<uint32_t>(b * b);
  }
  return signature;
}

TEST(ContentSignature, EqualsItsDefinitionHoweverTheFileIsCutIntoBlocks) {
  for (SignatureCode code : {SignatureCode::kFastest, SignatureCode::kPortable}) {
    const char* name = code == SignatureCode::kFastest ? "fastest code" : "portable code";
    std::mt19937 gen(5);
    for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 255u, 4096u, 70001u, 1u << 20}) {
      std::string bytes(size, '\0');
      for (char& c : bytes) c = static_cast<char>(gen());
      // The largest squares; a megabyte of them wraps every sum past 2^32.
      if (size == 4096 || size == 1u << 20) bytes.assign(size, '\x80');
      uint32_t whole = contentSignatureOf(bytes.data(), bytes.size(), 0, 0, code);
      EXPECT_EQ(whole, directSignature(bytes)) << size << " bytes, " << name;
      uint32_t pieces = 0;
      for (std::size_t at = 0; at < size;) {
        std::size_t n = std::min<std::size_t>(size - at, 1 + gen() % 5000);
        pieces = contentSignatureOf(bytes.data() + at, n, at, pieces, code);
        at += n;
      }
      EXPECT_EQ(pieces, whole) << size << " bytes in pieces, " << name;
    }
  }
}

}  // namespace
}  // namespace lumorel
