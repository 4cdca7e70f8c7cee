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
  // Runs the member. `args` holds `paramCount` values already converted to
  // the parameters' types; `result` receives the member's value.
  HResult (*call)(EnumImg& control, const Variant* args, Variant& result);

  std::span<const MemberParam> parameters() const { return {params.data(), paramCount}; }
};

// The 34 members, in the interface's order.
std::span<const Member> enumImgMembers();

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_MEMBER_TABLE_H_
