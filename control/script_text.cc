#include "control/script_text.h"

namespace lumorel {
namespace {

// The length of the UTF-8 sequence that starts with `lead`, or 0 for a byte
// that cannot start one.
std::size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::size_t scriptLength(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = sequenceLength(static_cast<unsigned char>(text[i]));
    if (length == 0 || i + length > text.size()) return text.size();
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return text.size();
    units += length == 4 ? 2 : 1;
    i += length;
  }
  return units;
}

std::string toDecimal(int64_t value) { return std::to_string(value); }

}  // namespace lumorel
