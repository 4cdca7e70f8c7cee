// Any text as the save path of a relayed download.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol/save_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumorel;
  const std::string encoded(reinterpret_cast<const char*>(data), size);
  std::optional<std::string> path = decodeSavePath(encoded);
  if (size > kMaxSavePathLength && path) abort();
  if (path) {
    if (path->size() > encoded.size()) abort();
    if (path->find('\0') != std::string::npos) abort();
    if (encoded.find('%') == std::string::npos && *path != encoded) abort();
  }
  return 0;
}
