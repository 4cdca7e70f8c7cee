// The sinks connected to a control's events, in slots.
#ifndef LUMOREL_CONTROL_CONNECTION_POINT_H_
#define LUMOREL_CONTROL_CONNECTION_POINT_H_

#include <cstdint>
#include <memory>
#include <vector>

#include "control/event_sink.h"

namespace lumorel {

// A growable array of sink slots. advise() puts a sink into the first empty
// slot (so a sink that connects after another disconnected may take its
// earlier place); fire() walks the slots from the first to the last. The
// point holds a reference on every connected sink until unadvise() or its
// own end. UI thread only.
class ConnectionPoint {
 public:
  // Connects `sink` and returns its cookie (never 0); 0 for a null sink.
  uint32_t advise(std::shared_ptr<EventSink> sink);

  // Disconnects the sink of `cookie`; false when no sink has that cookie.
  bool unadvise(uint32_t cookie);

  // Invokes `dispid` on every connected sink, slot by slot. A failing sink
  // does not stop the walk. Sinks may connect and disconnect from inside a
  // handler: one disconnected before its slot is reached is skipped, one
  // connected into a later slot is called in the same walk, and a sink is
  // kept alive while it runs.
  void fire(int32_t dispid);

  // Lets go of every sink.
  void clear() { slots_.clear(); }

  std::size_t connected() const;

 private:
  std::vector<std::shared_ptr<EventSink>> slots_;
};

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_CONNECTION_POINT_H_
