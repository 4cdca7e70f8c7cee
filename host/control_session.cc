#include "host/control_session.h"

#include <future>

#include "control/dispatcher.h"

namespace lumorel {
namespace {

// The members whose text is a picture the page may show, and which picture
// of the list each gives.
std::optional<ImageCatalogue::Neighbour> pictureOfMember(int32_t dispid) {
  switch (dispid) {
    case 2:  // PreviousName
      return ImageCatalogue::Neighbour::kPrevious;
    case 3:   // CurrentName
    case 50:  // CurrentMidi
      return ImageCatalogue::Neighbour::kCurrent;
    case 4:  // NextName
      return ImageCatalogue::Neighbour::kNext;
    default:
      return std::nullopt;
  }
}

constexpr int32_t kSetParentDirId = 1;

// The page's handlers: each event goes out on the stream.
class StreamEventSink final : public EventSink {
 public:
  StreamEventSink(EventStream& stream, SnapshotTracker& snapshots)
      : stream_(stream), snapshots_(snapshots) {}
  HResult invoke(int32_t dispid) override {
    snapshots_.eventFired();
    stream_.send(eventName(dispid), "{\"dispid\":" + std::to_string(dispid) + "}");
    return kSOk;
  }

 private:
  static std::string_view eventName(int32_t dispid) {
    switch (dispid) {
      case 300:
        return "OnLoadDone";
      case 301:
        return "OnTimer";
      case 302:
        return "OnDupDone";
      case 303:
        return "OnOrganizeDone";
      default:
        return "event";  // any other DISPID: the bridge looks at "dispid"
    }
  }
  EventStream& stream_;
  SnapshotTracker& snapshots_;
};

}  // namespace

ControlSession::ControlSession(std::string id, const SessionEnv& env)
    : id_(std::move(id)), env_(env), window_(events_) {
  runOnUi([this] {
    control_ = std::make_unique<EnumImg>(
        ControlEnv{env_.fs, env_.clock, env_.threads, *loop_, dialogs_, env_.preferences,
                   env_.subscriptions},
        env_.workerWaitMs);
    control_->setHostWindow(&window_);
    control_->advise(std::make_shared<StreamEventSink>(events_, snapshots_));
  });
}

ControlSession::~ControlSession() {
  close();
  loop_.reset();
}

bool ControlSession::runOnUi(std::function<void()> task) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  loop_->post([&task, done] {
    task();
    done->set_value();
  });
  try {
    finished.get();
    return true;
  } catch (const std::future_error&) {
    return false;  // the loop dropped the task: it is being stopped
  }
}

CallOutcome ControlSession::invokeNow(int32_t dispid, uint16_t kinds,
                                      const std::vector<Variant>& args,
                                      const std::optional<WindowPlacement>& placement) {
  CallOutcome outcome;
  if (!control_) return outcome;
  if (placement) window_.setPlacement(*placement);
  if (dispid == kSetParentDirId) {
    MutexLock lock(picturesMu_);
    pictures_.clear();  // a new scan: the old pictures are no longer held
  }
  const Member* member = findMember(dispid, kinds);
  snapshots_.beginCall(member, *control_);
  outcome.hr = invoke(*control_, dispid, kinds, args, &outcome.value);
  outcome.ran = true;
  outcome.snapshot = snapshots_.endCall(member, outcome.hr, *control_);
  outcome.version = snapshots_.version();
  if (outcome.hr == kSOk) noteWhenPicture(dispid, outcome.value);
  if (outcome.snapshot) {
    for (const SnapshotAnswer& answer : outcome.snapshot->answers)
      noteWhenPicture(answer.member->dispid, answer.value);
  }
  return outcome;
}

void ControlSession::noteWhenPicture(int32_t dispid, const Variant& value) {
  const std::optional<ImageCatalogue::Neighbour> picture = pictureOfMember(dispid);
  if (picture && value.type() == Variant::Type::kString &&
      control_->isListedFile(*picture, value.text()))
    notePicture(value);
}

CallOutcome ControlSession::call(int32_t dispid, uint16_t kinds, std::vector<Variant> args,
                                 std::optional<WindowPlacement> placement) {
  CallOutcome outcome;
  if (closed()) return outcome;
  runOnUi([&] { outcome = invokeNow(dispid, kinds, args, placement); });
  return outcome;
}

bool ControlSession::callLater(int32_t dispid, uint16_t kinds, std::vector<Variant> args,
                               std::optional<WindowPlacement> placement,
                               std::function<void(const CallOutcome&)> done) {
  if (closed()) return false;
  // The task runs on this session's loop, which ends before the session
  // does: `this` outlives it.
  loop_->post([this, dispid, kinds, args = std::move(args), placement,
               done = std::move(done)] {
    CallOutcome outcome = invokeNow(dispid, kinds, args, placement);
    if (outcome.ran) done(outcome);
  });
  return true;
}

void ControlSession::notePicture(const Variant& text) {
  if (text.type() != Variant::Type::kString) return;
  std::string_view value = text.text();
  constexpr std::string_view kScheme = "file://";
  if (value.substr(0, kScheme.size()) == kScheme) value.remove_prefix(kScheme.size());
  if (value.empty() || value.front() != '/') return;  // an address, not a file
  // The file as it is at each hand-out: one saved anew under its name since
  // the last is shown, and one swapped after it is not.
  std::optional<PictureFile> file = identifyPicture(std::string(value));
  MutexLock lock(picturesMu_);
  if (file)
    pictures_.insert_or_assign(std::string(value), std::move(*file));
  else
    pictures_.erase(std::string(value));
}

std::optional<PictureFile> ControlSession::handedOutPicture(const std::string& path) {
  MutexLock lock(picturesMu_);
  auto it = pictures_.find(path);
  if (it == pictures_.end()) return std::nullopt;
  return it->second;
}

std::optional<DialogAnswer> ControlSession::answerDialog(int dialog, nlohmann::json value) {
  std::optional<DialogAnswer> answer;
  if (closed()) return answer;
  runOnUi([&] {
    if (control_) answer = dialogs_.answer(dialog, value);
  });
  return answer;
}

void ControlSession::close() {
  MutexLock lock(closeMu_);
  if (closed()) return;
  closed_.store(true, std::memory_order_release);
  // First the open dialog ends (its nested loop returns after this task),
  // then the control is closed and destroyed at the loop's outer level.
  loop_->post([this] {
    dialogs_.cancelAll();
    if (control_) control_->Close();
  });
  runOnUi([this] { control_.reset(); });
  events_.close();
}

}  // namespace lumorel
