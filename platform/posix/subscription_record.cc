#include "platform/posix/subscription_record.h"

#include <charconv>
#include <variant>

namespace lumorel {
namespace {

using Member = std::variant<std::string SubscriptionRecord::*, uint32_t SubscriptionRecord::*,
                            bool SubscriptionRecord::*, int64_t SubscriptionRecord::*>;

struct Field {
  std::string_view name;
  Member member;
};

// The fields in the order they are written.
const Field kFields[] = {
    {"url", &SubscriptionRecord::url},
    {"friendly_name", &SubscriptionRecord::friendlyName},
    {"recurse_levels", &SubscriptionRecord::recurseLevels},
    {"webcrawler_flags", &SubscriptionRecord::webcrawlerFlags},
    {"schedule", &SubscriptionRecord::schedule},
    {"task_flags", &SubscriptionRecord::taskFlags},
    {"gleam", &SubscriptionRecord::gleam},
    {"changes_only", &SubscriptionRecord::changesOnly},
    {"user_name", &SubscriptionRecord::userName},
    {"max_size_kb", &SubscriptionRecord::maxSizeKB},
    {"created", &SubscriptionRecord::created},
};

constexpr char kHex[] = "0123456789abcdef";

std::string escape(std::string_view value) {
  std::string out;
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7f) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
    } else {
      out += c;
    }
  }
  return out;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> unescape(std::string_view value) {
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      out += value[i];
      continue;
    }
    if (++i == value.size()) return std::nullopt;
    switch (value[i]) {
      case '\\':
        out += '\\';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 'x': {
        const int high = i + 1 < value.size() ? hexValue(value[i + 1]) : -1;
        const int low = i + 2 < value.size() ? hexValue(value[i + 2]) : -1;
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return out;
}

// A whole decimal number of type T, nothing before or after it.
template <typename T>
std::optional<T> parseNumber(std::string_view text) {
  T value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

// Stores `text` in `record`'s member; false when it is malformed.
bool assign(SubscriptionRecord& record, const Member& member, std::string_view text) {
  if (auto* textMember = std::get_if<std::string SubscriptionRecord::*>(&member)) {
    std::optional<std::string> value = unescape(text);
    if (!value) return false;
    record.*(*textMember) = std::move(*value);
  } else if (auto* number = std::get_if<uint32_t SubscriptionRecord::*>(&member)) {
    std::optional<uint32_t> value = parseNumber<uint32_t>(text);
    if (!value) return false;
    record.*(*number) = *value;
  } else if (auto* flag = std::get_if<bool SubscriptionRecord::*>(&member)) {
    if (text != "0" && text != "1") return false;
    record.*(*flag) = text == "1";
  } else if (auto* time = std::get_if<int64_t SubscriptionRecord::*>(&member)) {
    std::optional<int64_t> value = parseNumber<int64_t>(text);
    if (!value) return false;
    record.*(*time) = *value;
  }
  return true;
}

}  // namespace

std::string formatSubscriptionRecord(const SubscriptionRecord& record) {
  std::string out;
  for (const Field& field : kFields) {
    out += field.name;
    out += '=';
    std::visit(
        [&](auto member) {
          const auto& value = record.*member;
          using Value = std::decay_t<decltype(value)>;
          if constexpr (std::is_same_v<Value, std::string>) {
            out += escape(value);
          } else if constexpr (std::is_same_v<Value, bool>) {
            out += value ? '1' : '0';
          } else {
            out += std::to_string(value);
          }
        },
        field.member);
    out += '\n';
  }
  return out;
}

std::optional<SubscriptionRecord> parseSubscriptionRecord(std::string_view text) {
  SubscriptionRecord record;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, equals);
    for (const Field& field : kFields) {
      if (field.name == name && !assign(record, field.member, line.substr(equals + 1))) {
        return std::nullopt;
      }
    }
  }
  if (record.url.empty()) return std::nullopt;
  return record;
}

}  // namespace lumorel
