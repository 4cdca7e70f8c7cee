#include "control/page_snapshot.h"

#include "control/enum_img.h"

namespace lumorel {
namespace {

bool answers(const Member& member) {
  return member.snapshot == kSnapshotAnswers || member.snapshot == kSnapshotCarriesAndAnswers;
}

bool carries(const Member& member) {
  return member.snapshot == kSnapshotCarries || member.snapshot == kSnapshotCarriesAndAnswers;
}

// Whether calling the method `member` now would change nothing, so that its
// answer (none) can be given without calling it. Only the methods named
// here are ever answered so.
bool doesNothingNow(const Member& member, const EnumImg& control) {
  if (member.name == "StopTimer") return control.heartbeatTimer() == 0;
  return false;
}

}  // namespace

std::optional<PageSnapshot> takeSnapshot(EnumImg& control, uint64_t version) {
  if (!control.quiet()) return std::nullopt;
  PageSnapshot snapshot;
  snapshot.version = version;
  for (const Member& member : enumImgMembers()) {
    if (!answers(member) || member.paramCount != 0) continue;
    Variant value;
    if (member.kind == kPropertyGet) {
      // A read of a quiet control: it neither waits nor changes anything.
      if (member.call(control, nullptr, value) != kSOk) continue;
    } else if (member.kind != kMethod || member.result != ScriptType::kNone ||
               !doesNothingNow(member, control)) {
      continue;
    }
    snapshot.answers.push_back({&member, std::move(value)});
  }
  return snapshot;
}

bool SnapshotTracker::moves(const Member* member) {
  return member && member->snapshot != kSnapshotKeeps && member->snapshot != kSnapshotAnswers;
}

void SnapshotTracker::beginCall(const Member* member, const EnumImg& control) {
  calls_.push_back({member, control.quiet()});
  if (moves(member) || !control.quiet()) ++version_;
}

std::optional<PageSnapshot> SnapshotTracker::endCall(const Member* member, HResult hr,
                                                     EnumImg& control) {
  const Call call = calls_.back();
  calls_.pop_back();
  // Once more after the call: what it changed while a dialog of its own let
  // other calls run came after their answers.
  if (moves(member) || !call.quiet || !control.quiet()) ++version_;
  if (!member || !carries(*member) || hr != kSOk || !calls_.empty()) return std::nullopt;
  return takeSnapshot(control, version_);
}

}  // namespace lumorel
