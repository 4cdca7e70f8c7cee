#include "control/dispatcher.h"

#include <cctype>
#include <map>
#include <set>

#include "control/control_test_util.h"

namespace lumorel {
namespace {

// What IDispatch needs of the table: one DISPID per name, one member per
// DISPID and kind, and a value for every property read.
TEST(MemberTable, EachNameHasOneDispidAndEachDispidAndKindOneMember) {
  const auto members = enumImgMembers();
  ASSERT_EQ(members.size(), 34u);
  std::map<std::string_view, int32_t> dispidOf;
  std::set<std::pair<int32_t, int>> seen;
  for (std::size_t i = 0; i < members.size(); ++i) {
    const Member& m = members[i];
    EXPECT_EQ(m.place, static_cast<int>(i + 1)) << m.name;
    auto [it, fresh] = dispidOf.emplace(m.name, m.dispid);
    EXPECT_EQ(it->second, m.dispid) << m.name << " has two DISPIDs";
    EXPECT_TRUE(seen.emplace(m.dispid, m.kind).second) << m.dispid << " twice";
    if (m.kind == kPropertyGet) {
      EXPECT_NE(m.result, ScriptType::kNone) << m.name;
    }
    if (m.kind == kPropertyPut) {
      EXPECT_EQ(m.result, ScriptType::kNone) << m.name;
    }
  }
  const Member* put = findMember(15, kPropertyPut);
  ASSERT_NE(put, nullptr);
  EXPECT_EQ(put->parameters().back().name, "") << "the new value is the unnamed last";
}

TEST(Dispatcher, NamesAreFoundWithoutRegardToCase) {
  for (const Member& member : enumImgMembers()) {
    std::string lower(member.name), upper(member.name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const std::string& name : {std::string(member.name), lower, upper}) {
      int32_t dispid = 0;
      EXPECT_EQ(idOfName(name, dispid), kSOk) << name;
      EXPECT_EQ(dispid, member.dispid) << name;
    }
    EXPECT_EQ(findMember(member.dispid, member.kind), &member);
  }
  for (std::string_view unknown : {"", "OnLoadDone", "FileCounts", "File Count", "pVal"}) {
    int32_t dispid = 0;
    EXPECT_EQ(idOfName(unknown, dispid), kDispEUnknownName) << unknown;
    EXPECT_EQ(dispid, -1);
  }
}

// Every member runs when invoked by its DISPID on a new control: the
// result that each gives there, and the type of its value.
TEST_F(ControlTest, EveryMemberIsReachableByDispid) {
  std::set<std::string> called;
  for (const Member& member : enumImgMembers()) {
    std::vector<Variant> args(member.paramCount);  // empty: 0 or the empty text
    Answer answer = onUi([&] {
      Answer a{kSOk, Variant()};
      a.hr = invoke(*control_, member.dispid, member.kind, args, &a.value);
      return a;
    });
    const HResult expected = member.name == "QuitIt"          ? kEFail
                             : member.name == "SaveWindowLoc" ? kSFalse
                                                              : kSOk;
    EXPECT_EQ(answer.hr, expected) << member.name;
    const Variant::Type type = member.result == ScriptType::kString  ? Variant::Type::kString
                               : member.result == ScriptType::kInt32 ? Variant::Type::kInt32
                                                                     : Variant::Type::kEmpty;
    EXPECT_EQ(answer.value.type(), type) << member.name;
    called.insert(std::string(member.name));
  }
  EXPECT_EQ(called.size(), 33u) << "Preference counts once";
  EXPECT_EQ(value("Version"), Variant("1.4"));
}

TEST_F(ControlTest, CallsTheInterfaceLacksFailAsIDispatchFails) {
  struct Case {
    int32_t dispid;
    uint16_t kinds;
    std::vector<Variant> args;
    HResult expected;
  } cases[] = {
      {16, kMethod | kPropertyGet, {}, kDispEMemberNotFound},     // a gap in the DISPIDs
      {22, kMethod, {}, kDispEMemberNotFound},
      {40, kPropertyGet, {}, kDispEMemberNotFound},
      {300, kMethod, {}, kDispEMemberNotFound},                   // an event, not a member
      {19, kPropertyPut, {Variant(1)}, kDispEMemberNotFound},     // FileCount has no put
      {5, kPropertyGet, {}, kDispEMemberNotFound},                // Next is a method
      {15, kMethod, {Variant("k")}, kDispEMemberNotFound},        // Preference is a property
      {5, kMethod, {Variant(1)}, kDispEBadParamCount},
      {1, kMethod, {Variant("/")}, kDispEBadParamCount},
      {15, kPropertyPut, {Variant("k")}, kDispEBadParamCount},
      {12, kMethod, {Variant("x")}, kDispETypeMismatch},          // JumpTo takes a short
      {12, kMethod, {Variant(70000)}, kDispEOverflow},
      {20, kMethod, {Variant(-1)}, kDispEOverflow},               // StartTimer: unsigned
      {50, kPropertyGet, {Variant("1.5")}, kDispETypeMismatch},
  };
  for (const Case& c : cases) {
    Variant result("untouched");
    HResult hr = onUi([&] { return invoke(*control_, c.dispid, c.kinds, c.args, &result); });
    EXPECT_EQ(hr, c.expected) << c.dispid << " kinds " << c.kinds;
    EXPECT_EQ(result, Variant("untouched")) << c.dispid;
  }
  EXPECT_EQ(onUi([&] { return ui_.starts; }), 0) << "a refused call runs nothing";
}

TEST_F(ControlTest, ArgumentsConvertToTheParametersTypes) {
  // A number for a text, a text for numbers, a method called as a property
  // read as script engines often ask.
  ASSERT_EQ(put("Preference", {Variant("Main.Width"), Variant(800)}), kSOk);
  EXPECT_EQ(value("Preference", {Variant("Main.Width")}), Variant("800"));
  tree_.write("a.jpg");
  tree_.write("b.jpg");
  const std::size_t before = log_.count("page:300");
  ASSERT_EQ(call("SetParentDir", kMethod | kPropertyGet, {tree_.path(), " 0 ", "+0"}).hr, kSOk);
  ASSERT_TRUE(log_.waitFor("page:300", before + 1));
  ASSERT_EQ(method("JumpTo", {Variant(int32_t{'b'})}).hr, kSOk);
  EXPECT_EQ(value("CurrentShortName"), Variant("b.jpg"));
  EXPECT_EQ(value("FileCount"), Variant(2));
}

TEST(Variant, ConvertsAsScriptArgumentsAre) {
  int32_t i32 = 7;
  EXPECT_EQ(Variant().toInt32(i32), kSOk);
  EXPECT_EQ(i32, 0);
  EXPECT_EQ(Variant("-12").toInt32(i32), kSOk);
  EXPECT_EQ(i32, -12);
  EXPECT_EQ(Variant(" 12 x").toInt32(i32), kDispETypeMismatch);
  EXPECT_EQ(Variant("").toInt32(i32), kDispETypeMismatch);
  EXPECT_EQ(Variant("99999999999").toInt32(i32), kDispEOverflow);
  EXPECT_EQ(Variant(uint32_t{0x80000000u}).toInt32(i32), kDispEOverflow);
  EXPECT_EQ(i32, -12) << "untouched on failure";
  uint32_t u32 = 0;
  EXPECT_EQ(Variant(int16_t{-1}).toUint32(u32), kDispEOverflow);
  EXPECT_EQ(Variant(int32_t{1000}).toUint32(u32), kSOk);
  EXPECT_EQ(u32, 1000u);
  int16_t i16 = 0;
  EXPECT_EQ(Variant(int32_t{-32768}).toInt16(i16), kSOk);
  EXPECT_EQ(i16, -32768);
  EXPECT_EQ(Variant(int32_t{32768}).toInt16(i16), kDispEOverflow);
  std::string text = "old";
  EXPECT_EQ(Variant().toText(text), kSOk);
  EXPECT_EQ(text, "");
  EXPECT_EQ(Variant(uint32_t{4000000000u}).toText(text), kSOk);
  EXPECT_EQ(text, "4000000000");
}

}  // namespace
}  // namespace lumorel
