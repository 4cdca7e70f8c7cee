// The browser's native messaging framing: each message is JSON text after
// its length in four bytes of the machine's own byte order.
#ifndef LUMOREL_HOST_MENU_RELAY_NATIVE_MESSAGES_H_
#define LUMOREL_HOST_MENU_RELAY_NATIVE_MESSAGES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumorel {

// The browser sends at most this much in one message to its relay here
// (a page's links included); more is refused.
inline constexpr uint32_t kMaxIncomingMessage = 8u << 20;
// The browser takes at most 1 MiB in one message from a relay.
inline constexpr uint32_t kMaxOutgoingMessage = 1u << 20;

// The next message on `fd`; nullopt at its end, after a short read, or for
// a message longer than kMaxIncomingMessage.
std::optional<std::string> readNativeMessage(int fd);

// Writes `json` as one message on `fd`; false when it is longer than
// kMaxOutgoingMessage or cannot be written whole.
bool writeNativeMessage(int fd, std::string_view json);

}  // namespace lumorel

#endif  // LUMOREL_HOST_MENU_RELAY_NATIVE_MESSAGES_H_
