#include "control/variant.h"

#include <charconv>
#include <limits>

namespace lumorel {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// `out` takes `wide` when it fits in a T.
template <typename T>
HResult narrow(int64_t wide, T& out) {
  if (wide < std::numeric_limits<T>::min() || wide > std::numeric_limits<T>::max())
    return kDispEOverflow;
  out = static_cast<T>(wide);
  return kSOk;
}

}  // namespace

HResult Variant::toInt64(int64_t& out) const {
  switch (type()) {
    case Type::kEmpty:
      out = 0;
      return kSOk;
    case Type::kInt32:
      out = std::get<int32_t>(value_);
      return kSOk;
    case Type::kUint32:
      out = std::get<uint32_t>(value_);
      return kSOk;
    case Type::kInt16:
      out = std::get<int16_t>(value_);
      return kSOk;
    case Type::kString: {
      std::string_view text = std::get<std::string>(value_);
      while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
      while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
      if (!text.empty() && text.front() == '+') text.remove_prefix(1);
      if (text.empty()) return kDispETypeMismatch;
      int64_t value = 0;
      auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (error == std::errc::result_out_of_range) return kDispEOverflow;
      if (error != std::errc() || end != text.data() + text.size()) return kDispETypeMismatch;
      out = value;
      return kSOk;
    }
  }
  return kDispETypeMismatch;
}

HResult Variant::toInt32(int32_t& out) const {
  // Two statements: as arguments of one call, the read of `wide` could come
  // before the conversion that writes it.
  int64_t wide = 0;
  const HResult hr = toInt64(wide);
  return hr == kSOk ? narrow(wide, out) : hr;
}

HResult Variant::toUint32(uint32_t& out) const {
  int64_t wide = 0;
  const HResult hr = toInt64(wide);
  return hr == kSOk ? narrow(wide, out) : hr;
}

HResult Variant::toInt16(int16_t& out) const {
  int64_t wide = 0;
  const HResult hr = toInt64(wide);
  return hr == kSOk ? narrow(wide, out) : hr;
}

HResult Variant::toText(std::string& out) const {
  if (type() == Type::kString) {
    out = std::get<std::string>(value_);
    return kSOk;
  }
  if (type() == Type::kEmpty) {
    out.clear();
    return kSOk;
  }
  int64_t wide = 0;
  HResult hr = toInt64(wide);
  if (hr == kSOk) out = std::to_string(wide);
  return hr;
}

std::string describe(const Variant& value) {
  std::string text;
  switch (value.type()) {
    case Variant::Type::kEmpty:
      return "empty";
    case Variant::Type::kString:
      (void)value.toText(text);
      return "\"" + text + "\"";
    default:
      (void)value.toText(text);
      return text;
  }
}

}  // namespace lumorel
