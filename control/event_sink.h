// The receiver of a control's events: the page's handlers, reached through
// whatever the shell connects (a COM sink on Windows, the page's event stream
// in the browser host).
#ifndef LUMOREL_CONTROL_EVENT_SINK_H_
#define LUMOREL_CONTROL_EVENT_SINK_H_

#include <cstdint>

#include "platform/hresult.h"

namespace lumorel {

// Event DISPIDs are those of the completion port (catalogue/completion_port.h):
// 300 OnLoadDone, 301 OnTimer, 302 OnDupDone, 303 OnOrganizeDone.
class EventSink {
 public:
  virtual ~EventSink() = default;

  // Runs the handler of the event `dispid` (no arguments, no result) before
  // it returns. Called on the control's UI thread only; it may call the
  // control's members, and connect or disconnect sinks. The control ignores
  // the result.
  virtual HResult invoke(int32_t dispid) = 0;
};

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_EVENT_SINK_H_
