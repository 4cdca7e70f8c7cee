#include "control/enum_img.h"

#include "catalogue/completion_port.h"
#include "platform/host_window.h"
#include "platform/ui_thread.h"

namespace lumorel {

EnumImg::EnumImg(const ControlEnv& env, uint32_t workerWaitMs)
    : env_(env),
      preferences_(env.preferences),
      anchor_(std::make_shared<Anchor>(Anchor{this})),
      workers_(env.threads),
      catalogue_(std::make_unique<ImageCatalogue>(
          CatalogueEnv{env.fs, env.clock, workers_, env.ui, env.dialogs},
          // The catalogue's completion port fires on the UI thread and is
          // closed when the catalogue goes, before the rest of the control.
          [this](int dispid) { fireEvent(dispid); }, workerWaitMs)) {}

EnumImg::~EnumImg() {
  anchor_.reset();
  catalogue_->close();
  catalogue_->waitForWorker();
  StopTimer();
  catalogue_.reset();  // frees the lists; completions still queued fire nothing
  events_.clear();
}

HResult EnumImg::Close() {
  catalogue_->close();
  return kSOk;
}

void EnumImg::SetParentDir(std::string_view bstrPath, int16_t iResursive, int16_t iRandom) {
  catalogue_->SetParentDir(bstrPath, iResursive, iRandom);
}

HResult EnumImg::QuitIt() {
  if (!host_) return kEFail;
  return host_->quit() ? kSOk : kEFail;
}

void EnumImg::StartTimer(uint32_t dwMSecHeartbeat) {
  std::weak_ptr<Anchor> anchor = anchor_;
  const bool started = env_.ui.startTimer(dwMSecHeartbeat, [anchor] {
    // The tick does not look at heartbeatTimer_: one queued before a stop
    // still fires.
    if (std::shared_ptr<Anchor> held = anchor.lock()) held->control->fireEvent(kOnTimer);
  });
  heartbeatTimer_ = started ? kHeartbeatTimerId : 0;
}

void EnumImg::StopTimer() {
  if (heartbeatTimer_ != 0) env_.ui.stopTimer();
  heartbeatTimer_ = 0;
}

}  // namespace lumorel
