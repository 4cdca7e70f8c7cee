#include "install/fake_registry.h"

#include <cctype>

namespace lumorel {
namespace {

// ERROR_FILE_NOT_FOUND as an HRESULT: what writing to a missing key gives.
constexpr HResult kNoSuchKey = static_cast<HResult>(0x80070002u);

}  // namespace

std::string FakeRegistry::fold(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string FakeRegistry::id(RegistryRoot root, std::string_view path) {
  return std::to_string(static_cast<int>(root)) + ":" + fold(path);
}

HResult FakeRegistry::createKey(RegistryRoot root, std::string_view path) {
  // Creates every missing key above it too.
  for (std::size_t end = 0; end != std::string_view::npos;) {
    end = path.find('\\', end + 1);
    const std::string_view part = path.substr(0, end);
    keys_.try_emplace(id(root, part), Key{std::string(part), {}});
  }
  return kSOk;
}

HResult FakeRegistry::setValue(RegistryRoot root, std::string_view path, RegistryValue value) {
  if (auto f = failing_.find(fold(path)); f != failing_.end()) return f->second;
  auto it = keys_.find(id(root, path));
  if (it == keys_.end()) return kNoSuchKey;
  it->second.values[fold(value.name)] = std::move(value);
  return kSOk;
}

HResult FakeRegistry::setText(RegistryRoot root, std::string_view path, std::string_view name,
                              std::string_view value) {
  return setValue(root, path, namedText(std::string(name), std::string(value)));
}

HResult FakeRegistry::setNumber(RegistryRoot root, std::string_view path, std::string_view name,
                                uint32_t value) {
  return setValue(root, path, namedNumber(std::string(name), value));
}

HResult FakeRegistry::setBytes(RegistryRoot root, std::string_view path, std::string_view name,
                               std::string_view bytes) {
  return setValue(root, path, namedBytes(std::string(name), std::string(bytes)));
}

HResult FakeRegistry::deleteTree(RegistryRoot root, std::string_view path) {
  const std::string self = id(root, path);
  const std::string below = self + "\\";
  for (auto it = keys_.begin(); it != keys_.end();) {
    if (it->first == self || it->first.compare(0, below.size(), below) == 0) {
      it = keys_.erase(it);
    } else {
      ++it;
    }
  }
  return kSOk;
}

bool FakeRegistry::hasKey(RegistryRoot root, std::string_view path) const {
  return keys_.count(id(root, path)) != 0;
}

std::string FakeRegistry::dump(RegistryRoot root) const {
  const std::string prefix = std::to_string(static_cast<int>(root)) + ":";
  std::string out;
  for (const auto& [keyId, key] : keys_) {
    if (keyId.compare(0, prefix.size(), prefix) != 0) continue;
    out += key.path;
    for (const auto& [folded, value] : key.values) {
      out += " " + (value.name.empty() ? std::string("@") : value.name) + "=";
      switch (value.type) {
        case RegistryValue::Type::kText:
          out += value.text;
          break;
        case RegistryValue::Type::kNumber:
          out += "dword:" + std::to_string(value.number);
          break;
        case RegistryValue::Type::kBytes: {
          out += "hex:";
          static const char kDigits[] = "0123456789abcdef";
          for (unsigned char c : value.text) {
            out += kDigits[c >> 4];
            out += kDigits[c & 15];
          }
          break;
        }
      }
    }
    out += "\n";
  }
  return out;
}

}  // namespace lumorel
