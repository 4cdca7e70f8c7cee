// The snapshot a page keeps of its control: the answers of the reads it
// makes right after it moves through the pictures (the names around the
// cursor, the counts), taken when a call that moves the cursor, changes the
// lists or the heartbeat returns, so that the page answers those reads by
// itself instead of asking the control for each. The member table says
// which members a snapshot answers and which calls carry one
// (SnapshotRole); this file says when a snapshot may be taken and how long
// it holds.
//
// A snapshot holds while the control's version stays the same. The version
// moves with every call that may change what a snapshot holds, before and
// after it runs (a dialog lets other calls run in between, and the change
// comes after), with every event the control fires, and with every call made
// while the catalogue has a worker (a read may then wait for it and so
// change what the catalogue holds). Each answer tells the page the version
// after the call; a page whose snapshot has another version drops it.
#ifndef LUMOREL_CONTROL_PAGE_SNAPSHOT_H_
#define LUMOREL_CONTROL_PAGE_SNAPSHOT_H_

#include <cstdint>
#include <optional>
#include <vector>

#include "control/member_table.h"
#include "control/variant.h"

namespace lumorel {

class EnumImg;

struct SnapshotAnswer {
  const Member* member;  // a row of enumImgMembers()
  Variant value;         // what calling it gives now
};

struct PageSnapshot {
  uint64_t version = 0;
  std::vector<SnapshotAnswer> answers;  // in the member table's order
};

// The answers of the members with a snapshot role that answers, as the
// control gives them now. Reads the control only through members that
// change nothing while it is quiet; a method is answered only while calling
// it would change nothing. nullopt when the control is not quiet.
// On the control's UI thread only.
std::optional<PageSnapshot> takeSnapshot(EnumImg& control, uint64_t version);

// Follows one control's version across its calls and events, and takes the
// snapshot that a call's answer carries. Thread safety: the control's UI
// thread only, as the calls and events it follows.
class SnapshotTracker {
 public:
  // Before `member` (null: no such member, nothing runs) is invoked on
  // `control`.
  void beginCall(const Member* member, const EnumImg& control);
  // After it has returned `hr`: the snapshot its answer carries, when it
  // carries one, it succeeded, no other call is under way (it was not made
  // while a dialog of another call was open) and the control is quiet.
  std::optional<PageSnapshot> endCall(const Member* member, HResult hr, EnumImg& control);
  // The control fired an event.
  void eventFired() { ++version_; }
  // The version now: what an answer tells the page.
  uint64_t version() const { return version_; }

 private:
  struct Call {
    const Member* member;
    bool quiet;  // the control was quiet when the call began
  };
  static bool moves(const Member* member);

  std::vector<Call> calls_;  // the calls under way, the innermost last
  uint64_t version_ = 1;
};

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_PAGE_SNAPSHOT_H_
