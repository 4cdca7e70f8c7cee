// The control's two connection points, in the order a container enumerates
// them: property notifications, which only hold their sinks, then the
// control's events, whose sinks the engine's control fires.
#ifndef LUMOREL_PLATFORM_WIN32_COM_CONNECTION_POINTS_H_
#define LUMOREL_PLATFORM_WIN32_COM_CONNECTION_POINTS_H_

#include <windows.h>

#include <ocidl.h>

#include <cstdint>
#include <vector>

namespace lumorel {

class EnumImg;

// One connection point of a container object. Advise asks the sink for the
// point's interface and keeps it in the first free slot; the cookie is the
// slot's number from 1. The point lives inside its container and counts
// references on it. UI thread only.
class ConnectionPointObject final : public IConnectionPoint {
 public:
  // `events`: the engine's control whose events the sinks receive, or null
  // for a point that only holds its sinks.
  ConnectionPointObject(IConnectionPointContainer& container, REFIID iid, EnumImg* events);
  ~ConnectionPointObject();

  ConnectionPointObject(const ConnectionPointObject&) = delete;
  ConnectionPointObject& operator=(const ConnectionPointObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return container_.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return container_.Release(); }

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

  // Lets go of every sink (the control's teardown).
  void clear();

 private:
  IConnectionPointContainer& container_;
  const IID iid_;
  EnumImg* const events_;
  // The sinks by slot, each with a reference of ours; for the event point
  // the engine's cookie of the sink beside it.
  struct Slot {
    IUnknown* sink = nullptr;
    uint32_t engineCookie = 0;
  };
  std::vector<Slot> slots_;
};

// Enumerates a container's connection points, each with a reference.
HRESULT enumerateConnectionPoints(std::vector<IConnectionPoint*> points,
                                  IEnumConnectionPoints** out);

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_WIN32_COM_CONNECTION_POINTS_H_
