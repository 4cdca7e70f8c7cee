#include "catalogue/completion_port.h"

namespace lumorel {

CompletionPort::CompletionPort(UiThread& ui, std::function<void(int)> fire)
    : fire_(std::move(fire)), ui_(&ui) {}

void CompletionPort::post(int dispid) {
  MutexLock lock(mu_);
  if (!ui_) return;
  ui_->post([self = shared_from_this(), dispid] { self->deliver(dispid); });
}

void CompletionPort::close() {
  MutexLock lock(mu_);
  ui_ = nullptr;
}

void CompletionPort::deliver(int dispid) {
  {
    MutexLock lock(mu_);
    if (!ui_) return;
  }
  // Closing happens on this same thread, so the port cannot close between
  // the test above and the call.
  fire_(dispid);
}

}  // namespace lumorel
