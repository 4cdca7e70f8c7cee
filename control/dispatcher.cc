#include "control/dispatcher.h"

#include <array>

namespace lumorel {
namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

HResult convert(const Variant& arg, ScriptType type, Variant& out) {
  HResult hr = kDispETypeMismatch;
  switch (type) {
    case ScriptType::kString: {
      std::string text;
      hr = arg.toText(text);
      if (hr == kSOk) out = std::move(text);
      break;
    }
    case ScriptType::kInt16: {
      int16_t value = 0;
      hr = arg.toInt16(value);
      if (hr == kSOk) out = value;
      break;
    }
    case ScriptType::kInt32: {
      int32_t value = 0;
      hr = arg.toInt32(value);
      if (hr == kSOk) out = value;
      break;
    }
    case ScriptType::kUint32: {
      uint32_t value = 0;
      hr = arg.toUint32(value);
      if (hr == kSOk) out = value;
      break;
    }
    case ScriptType::kNone:
      break;
  }
  return hr;
}

}  // namespace

HResult idOfName(std::string_view name, int32_t& dispid) {
  for (const Member& member : enumImgMembers()) {
    if (sameIgnoringCase(member.name, name)) {
      dispid = member.dispid;
      return kSOk;
    }
  }
  dispid = -1;  // DISPID_UNKNOWN
  return kDispEUnknownName;
}

const Member* findMember(int32_t dispid, uint16_t kinds) {
  for (const Member& member : enumImgMembers())
    if (member.dispid == dispid && (member.kind & kinds) != 0) return &member;
  return nullptr;
}

HResult invoke(EnumImg& control, int32_t dispid, uint16_t kinds, std::span<const Variant> args,
               Variant* result) {
  const Member* member = findMember(dispid, kinds);
  if (!member) return kDispEMemberNotFound;
  if (args.size() != member->paramCount) return kDispEBadParamCount;
  std::array<Variant, 3> converted;
  for (std::size_t i = 0; i < args.size(); ++i) {
    HResult hr = convert(args[i], member->params[i].type, converted[i]);
    if (hr != kSOk) return hr;
  }
  Variant value;
  HResult hr = member->call(control, converted.data(), value);
  if (result) *result = std::move(value);
  return hr;
}

}  // namespace lumorel
