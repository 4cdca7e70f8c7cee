// The script interface of EnumImg as data: every member's name, DISPID,
// kind, parameters and result, in the interface's own order, and how it is
// called. Both shells dispatch through this one table: the Windows module's
// type library describes the same members, and the browser host calls them
// by name through the dispatcher.
#ifndef LUMOREL_CONTROL_MEMBER_TABLE_H_
#define LUMOREL_CONTROL_MEMBER_TABLE_H_

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "control/variant.h"

namespace lumorel {

class EnumImg;

// How a member is invoked; the values are IDispatch's flags, so a set of
// kinds is a mask of them.
enum MemberKind : uint16_t {
  kMethod = 1,       // DISPATCH_METHOD
  kPropertyGet = 2,  // DISPATCH_PROPERTYGET
  kPropertyPut = 4,  // DISPATCH_PROPERTYPUT
};

// Parameter and result types: BSTR, short, long, unsigned long.
enum class ScriptType { kNone, kString, kInt16, kInt32, kUint32 };

// How a member stands to the snapshot that a call's answer may carry to the
// page (control/page_snapshot.h): what the page may answer by itself after
// the call, until the control changes.
enum SnapshotRole : uint8_t {
  // May change anything, now or later (a scan, a dialog): the page's
  // snapshot ends with the call.
  kSnapshotEnds,
  // Changes nothing a snapshot holds: the page's snapshot stays.
  kSnapshotKeeps,
  // A read without parameters held in the snapshot: the page answers it
  // from there while its snapshot holds, and calls it only when it has none.
  kSnapshotAnswers,
  // Changes what a snapshot holds (the cursor, the lists, the heartbeat);
  // its answer carries a new snapshot when the control is quiet.
  kSnapshotCarries,
  // As kSnapshotCarries; and the snapshot answers it while calling it would
  // change nothing (StopTimer while no heartbeat runs).
  kSnapshotCarriesAndAnswers,
};

struct MemberParam {
  std::string_view name;  // empty for the unnamed value of a property put
  ScriptType type = ScriptType::kNone;
};

struct Member {
  int place;  // 1-based place in the interface's member order
  std::string_view name;
  int32_t dispid;
  MemberKind kind;
  std::array<MemberParam, 3> params;
  std::size_t paramCount;
  ScriptType result;  // the out and retval value; kNone for none
  SnapshotRole snapshot;
  // Runs the member. `args` holds `paramCount` values already converted to
  // the parameters' types; `result` receives the member's value.
  HResult (*call)(EnumImg& control, const Variant* args, Variant& result);

  std::span<const MemberParam> parameters() const { return {params.data(), paramCount}; }
};

// The 34 members, in the interface's order.
std::span<const Member> enumImgMembers();

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_MEMBER_TABLE_H_
