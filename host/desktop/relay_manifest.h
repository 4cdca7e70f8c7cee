// The native messaging manifest that lets Lumorel's browser extension start
// the menu relay: its name, the extension it admits, and where Chromium and
// Google Chrome look for it in the user's configuration folder.
#ifndef LUMOREL_HOST_DESKTOP_RELAY_MANIFEST_H_
#define LUMOREL_HOST_DESKTOP_RELAY_MANIFEST_H_

#include <array>
#include <string>
#include <string_view>

namespace lumorel {

inline constexpr std::string_view kRelayName = "org.lumorel.menu_relay";
// The extension's id, which follows from the public key in its manifest.
inline constexpr std::string_view kExtensionId = "iocgjjaomocojpddcfffjefmielomkce";
// The browsers' folders for the manifest, in the configuration folder.
inline constexpr std::array<std::string_view, 2> kRelayManifestFolders = {
    "chromium/NativeMessagingHosts", "google-chrome/NativeMessagingHosts"};

// The manifest's text for the relay program at `relayPath`.
std::string relayManifestText(std::string_view relayPath);

}  // namespace lumorel

#endif  // LUMOREL_HOST_DESKTOP_RELAY_MANIFEST_H_
