// The values that cross the script boundary: what a member takes and gives.
#ifndef LUMOREL_CONTROL_VARIANT_H_
#define LUMOREL_CONTROL_VARIANT_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

#include "platform/hresult.h"

namespace lumorel {

// Dispatch failures, with the values IDispatch gives them.
inline constexpr HResult kDispEUnknownName = static_cast<HResult>(0x80020006u);
inline constexpr HResult kDispEMemberNotFound = static_cast<HResult>(0x80020003u);
inline constexpr HResult kDispEBadParamCount = static_cast<HResult>(0x8002000Eu);
inline constexpr HResult kDispETypeMismatch = static_cast<HResult>(0x80020005u);
inline constexpr HResult kDispEOverflow = static_cast<HResult>(0x8002000Au);

// Empty, a number of one of three widths, or a text. Texts are 8-bit here;
// the shells convert to and from UTF-16 at the script boundary.
class Variant {
 public:
  enum class Type { kEmpty, kInt32, kUint32, kInt16, kString };

  Variant() = default;
  Variant(int32_t value) : value_(value) {}   // NOLINT: implicit by design
  Variant(uint32_t value) : value_(value) {}  // NOLINT
  Variant(int16_t value) : value_(value) {}   // NOLINT
  Variant(std::string value) : value_(std::move(value)) {}  // NOLINT
  Variant(const char* value) : value_(std::string(value)) {}  // NOLINT

  Type type() const { return static_cast<Type>(value_.index()); }

  // The value of a variant of exactly that type (the dispatcher hands
  // members only arguments it has converted). REQUIRES: type() matches.
  const std::string& text() const { return std::get<std::string>(value_); }
  int32_t int32() const { return std::get<int32_t>(value_); }
  uint32_t uint32() const { return std::get<uint32_t>(value_); }
  int16_t int16() const { return std::get<int16_t>(value_); }

  // The value converted to the type a parameter asks for, as IDispatch
  // coerces arguments: empty gives 0 or the empty text, numbers convert when
  // they fit (else kDispEOverflow), a text converts to a number when it is a
  // decimal integer with optional sign and surrounding blanks (else
  // kDispETypeMismatch), and a number to a text as its decimal form. `out`
  // is untouched on failure.
  [[nodiscard]] HResult toInt32(int32_t& out) const;
  [[nodiscard]] HResult toUint32(uint32_t& out) const;
  [[nodiscard]] HResult toInt16(int16_t& out) const;
  [[nodiscard]] HResult toText(std::string& out) const;

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  // Any integer of the value, widened; false for a text that is no number.
  [[nodiscard]] HResult toInt64(int64_t& out) const;

  std::variant<std::monostate, int32_t, uint32_t, int16_t, std::string> value_;
};

// For test failure messages.
std::string describe(const Variant& value);
inline void PrintTo(const Variant& value, std::ostream* out) { *out << describe(value); }

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_VARIANT_H_
