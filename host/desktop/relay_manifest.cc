#include "host/desktop/relay_manifest.h"

#include <nlohmann/json.hpp>

namespace lumorel {

std::string relayManifestText(std::string_view relayPath) {
  const auto quoted = [](std::string_view text) { return nlohmann::json(text).dump(); };
  std::string text = "{\n";
  text += "  \"name\": " + quoted(kRelayName) + ",\n";
  text += "  \"description\": \"Lumorel's context-menu relay\",\n";
  text += "  \"path\": " + quoted(relayPath) + ",\n";
  text += "  \"type\": \"stdio\",\n";
  text += "  \"allowed_origins\": [\"chrome-extension://" + std::string(kExtensionId) + "/\"]\n";
  text += "}\n";
  return text;
}

}  // namespace lumorel
