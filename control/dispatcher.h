// Calls EnumImg's members by name and by DISPID, with script's values, the
// way IDispatch does; for shells that have no type library of their own.
#ifndef LUMOREL_CONTROL_DISPATCHER_H_
#define LUMOREL_CONTROL_DISPATCHER_H_

#include <cstdint>
#include <span>
#include <string_view>

#include "control/member_table.h"
#include "control/variant.h"

namespace lumorel {

// The DISPID of the member called `name`, ASCII letters compared without
// case (as GetIDsOfNames does). kDispEUnknownName, with `dispid` set to -1,
// when the interface has no such member.
[[nodiscard]] HResult idOfName(std::string_view name, int32_t& dispid);

// The member with `dispid` whose kind is in the mask `kinds`, or null.
const Member* findMember(int32_t dispid, uint16_t kinds);

// Invokes the member with `dispid` whose kind is one of `kinds` (a mask of
// MemberKind). `args` are in the member's parameter order; for a property
// put the new value is the last. Fails as IDispatch::Invoke does:
// kDispEMemberNotFound for a DISPID or kind the interface lacks,
// kDispEBadParamCount when the count of `args` differs from the member's,
// and the conversion's failure (kDispETypeMismatch, kDispEOverflow) for an
// argument that does not convert to its parameter's type; the member is
// then not called. Otherwise returns the member's own result, with its value
// in `result` when `result` is not null (empty for a member without one).
// On the control's UI thread only.
[[nodiscard]] HResult invoke(EnumImg& control, int32_t dispid, uint16_t kinds,
                             std::span<const Variant> args, Variant* result);

}  // namespace lumorel

#endif  // LUMOREL_CONTROL_DISPATCHER_H_
