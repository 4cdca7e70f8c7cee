#include "platform/posix/folder_order.h"

#include <algorithm>
#include <cstddef>

namespace lumorel {
namespace {

unsigned char folded(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 'a' && b <= 'z' ? static_cast<unsigned char>(b - 'a' + 'A') : b;
}

}  // namespace

bool listsBefore(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char x = folded(a[i]);
    const unsigned char y = folded(b[i]);
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  // Equal but for case: std::char_traits<char> compares bytes as unsigned.
  return a < b;
}

}  // namespace lumorel
