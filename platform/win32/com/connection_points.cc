#include "platform/win32/com/connection_points.h"

#include <memory>

#include <olectl.h>

#include "control/enum_img.h"
#include "control/event_sink.h"

namespace lumorel {
namespace {

// The locale an event is fired with: the user's default.
constexpr LCID kEventLocale = 0x0400;

// A page's event handlers behind IDispatch: each event is a method call
// without arguments, by the event's DISPID.
class DispatchEventSink final : public EventSink {
 public:
  explicit DispatchEventSink(IDispatch* sink) : sink_(sink) { sink_->AddRef(); }
  ~DispatchEventSink() override { sink_->Release(); }
  HResult invoke(int32_t dispid) override {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return sink_->Invoke(dispid, IID_NULL, kEventLocale, DISPATCH_METHOD, &none, nullptr, nullptr,
                         nullptr);
  }

 private:
  IDispatch* const sink_;
};

// A fixed list of references, handed out in order.
template <typename Enum, typename Item>
class ListEnumerator final : public Enum {
 public:
  ListEnumerator(std::vector<Item> items, const IID& iid) : items_(std::move(items)), iid_(iid) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, iid_)) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --refs_;
    if (refs == 0) delete this;
    return refs;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override {
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    for (; n < count && next_ < items_.size(); ++n, ++next_) {
      out[n] = items_[next_];
      addRef(out[n]);
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const std::size_t left = items_.size() - next_;
    next_ += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(Enum** out) override {
    if (!out) return E_POINTER;
    auto* copy = new ListEnumerator(items_, iid_);
    for (Item& item : copy->items_) addRef(item);
    copy->next_ = next_;
    *out = copy;
    return S_OK;
  }

  ~ListEnumerator() {
    for (Item& item : items_) release(item);
  }

 private:
  static void addRef(IConnectionPoint* p) { p->AddRef(); }
  static void release(IConnectionPoint* p) { p->Release(); }
  static void addRef(CONNECTDATA& d) { d.pUnk->AddRef(); }
  static void release(CONNECTDATA& d) { d.pUnk->Release(); }

  std::vector<Item> items_;  // each with a reference of ours
  const IID iid_;
  std::size_t next_ = 0;
  ULONG refs_ = 1;
};

}  // namespace

ConnectionPointObject::ConnectionPointObject(IConnectionPointContainer& container, REFIID iid,
                                             EnumImg* events)
    : container_(container), iid_(iid), events_(events) {}

ConnectionPointObject::~ConnectionPointObject() { clear(); }

HRESULT STDMETHODCALLTYPE ConnectionPointObject::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) {
    return E_NOINTERFACE;
  }
  *out = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPointObject::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = iid_;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPointObject::GetConnectionPointContainer(
    IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  *out = &container_;
  container_.AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPointObject::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  IUnknown* held = nullptr;
  if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&held))) || !held) {
    return CONNECT_E_CANNOTCONNECT;
  }
  Slot slot{held, 0};
  if (events_) {
    slot.engineCookie =
        events_->advise(std::make_shared<DispatchEventSink>(static_cast<IDispatch*>(held)));
  }
  std::size_t i = 0;
  while (i < slots_.size() && slots_[i].sink) ++i;
  if (i == slots_.size()) slots_.emplace_back();
  slots_[i] = slot;
  *cookie = static_cast<DWORD>(i + 1);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPointObject::Unadvise(DWORD cookie) {
  if (cookie == 0 || cookie > slots_.size() || !slots_[cookie - 1].sink) {
    return CONNECT_E_NOCONNECTION;
  }
  Slot slot = slots_[cookie - 1];
  slots_[cookie - 1] = Slot{};
  if (events_) events_->unadvise(slot.engineCookie);
  slot.sink->Release();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ConnectionPointObject::EnumConnections(IEnumConnections** out) {
  if (!out) return E_POINTER;
  std::vector<CONNECTDATA> connections;
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (!slots_[i].sink) continue;
    slots_[i].sink->AddRef();
    connections.push_back({slots_[i].sink, static_cast<DWORD>(i + 1)});
  }
  *out = new ListEnumerator<IEnumConnections, CONNECTDATA>(std::move(connections),
                                                           IID_IEnumConnections);
  return S_OK;
}

void ConnectionPointObject::clear() {
  std::vector<Slot> slots;
  slots.swap(slots_);
  for (Slot& slot : slots) {
    if (!slot.sink) continue;
    if (events_) events_->unadvise(slot.engineCookie);
    slot.sink->Release();
  }
}

HRESULT enumerateConnectionPoints(std::vector<IConnectionPoint*> points,
                                  IEnumConnectionPoints** out) {
  if (!out) return E_POINTER;
  for (IConnectionPoint* point : points) point->AddRef();
  *out = new ListEnumerator<IEnumConnectionPoints, IConnectionPoint*>(std::move(points),
                                                                      IID_IEnumConnectionPoints);
  return S_OK;
}

}  // namespace lumorel
