#include "control/connection_point.h"

#include <algorithm>

namespace lumorel {

uint32_t ConnectionPoint::advise(std::shared_ptr<EventSink> sink) {
  if (!sink) return 0;
  auto empty = std::find(slots_.begin(), slots_.end(), nullptr);
  if (empty == slots_.end()) empty = slots_.insert(slots_.end(), nullptr);
  *empty = std::move(sink);
  return static_cast<uint32_t>(empty - slots_.begin()) + 1;
}

bool ConnectionPoint::unadvise(uint32_t cookie) {
  if (cookie == 0 || cookie > slots_.size() || !slots_[cookie - 1]) return false;
  slots_[cookie - 1] = nullptr;
  return true;
}

void ConnectionPoint::fire(int32_t dispid) {
  // By index, since a handler may grow the array under the walk.
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    std::shared_ptr<EventSink> sink = slots_[i];
    if (sink) (void)sink->invoke(dispid);
  }
}

std::size_t ConnectionPoint::connected() const {
  return static_cast<std::size_t>(std::count_if(
      slots_.begin(), slots_.end(), [](const auto& sink) { return sink != nullptr; }));
}

}  // namespace lumorel
