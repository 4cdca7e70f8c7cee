// An in-memory registry for tests: keys by path (compared without case),
// their values, and failures forced on a chosen key.
#ifndef LUMOREL_INSTALL_FAKE_REGISTRY_H_
#define LUMOREL_INSTALL_FAKE_REGISTRY_H_

#include <map>
#include <string>
#include <string_view>

#include "install/registry_content.h"
#include "platform/registry.h"

namespace lumorel {

class FakeRegistry final : public Registry {
 public:
  HResult createKey(RegistryRoot root, std::string_view path) override;
  HResult setText(RegistryRoot root, std::string_view path, std::string_view name,
                  std::string_view value) override;
  HResult setNumber(RegistryRoot root, std::string_view path, std::string_view name,
                    uint32_t value) override;
  HResult setBytes(RegistryRoot root, std::string_view path, std::string_view name,
                   std::string_view bytes) override;
  HResult deleteTree(RegistryRoot root, std::string_view path) override;

  // Every later write of a value to the key `path` fails with `code`.
  void failWritesTo(std::string_view path, HResult code) { failing_[fold(path)] = code; }

  bool hasKey(RegistryRoot root, std::string_view path) const;

  // The whole registry below `root` as text, one line per key in path order:
  // the key's path, then each value as ` name=text` (`@` for the default
  // value), ` name=dword:N` or ` name=hex:HH...`.
  std::string dump(RegistryRoot root) const;

 private:
  struct Key {
    std::string path;  // as first created
    std::map<std::string, RegistryValue> values;  // by folded name
  };
  static std::string fold(std::string_view text);
  static std::string id(RegistryRoot root, std::string_view path);
  HResult setValue(RegistryRoot root, std::string_view path, RegistryValue value);

  std::map<std::string, Key> keys_;  // by root and folded path
  std::map<std::string, HResult> failing_;
};

}  // namespace lumorel

#endif  // LUMOREL_INSTALL_FAKE_REGISTRY_H_
