// The "lm:" route of the browser host: one URL produced by the same protocol
// handler the Windows module uses, through a sink that hands the bytes to
// the HTTP answer.
#ifndef LUMOREL_HOST_PAGE_ROUTE_H_
#define LUMOREL_HOST_PAGE_ROUTE_H_

#include <memory>
#include <string>
#include <string_view>

#include "protocol/plug_prot.h"

namespace lumorel {

// What the handler produced for one URL.
struct ProducedPage {
  // False when the handler refused the URL (not "lm:", too long, a NUL).
  bool served = false;
  // The page or picture, whole; for a relayed download its first bytes.
  std::string bytes;
  // For a relayed download: the handler, to read the rest from with
  // readMore(). Null for a page.
  std::shared_ptr<PlugProt> relay;
};

// Runs the handler on `url` and waits for its result (a relayed download
// may take as long as its fetch). Any thread.
ProducedPage producePage(std::string_view url, const ProtocolEnv& env);

// The next bytes of a relayed download (empty at its end). The caller
// Aborts the handler when the client goes away before the end.
std::string readMore(PlugProt& relay);

}  // namespace lumorel

#endif  // LUMOREL_HOST_PAGE_ROUTE_H_
