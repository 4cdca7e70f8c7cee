#include "control/member_table.h"

#include "control/enum_img.h"

namespace lumorel {
namespace {

using T = ScriptType;

// Short forms for the rows below.
constexpr std::array<MemberParam, 3> none() { return {}; }
constexpr std::array<MemberParam, 3> one(MemberParam a) { return {a, {}, {}}; }
constexpr std::array<MemberParam, 3> two(MemberParam a, MemberParam b) { return {a, b, {}}; }
constexpr std::array<MemberParam, 3> three(MemberParam a, MemberParam b, MemberParam c) {
  return {a, b, c};
}

// Rows are place, name, DISPID, kind, parameters, their count, result, role in
// the page's snapshot, call.
constexpr Member kMembers[] = {
    {1, "SetParentDir", 1, kMethod,
     three({"bstrPath", T::kString}, {"iResursive", T::kInt16}, {"iRandom", T::kInt16}), 3,
     T::kNone, kSnapshotEnds,
     [](EnumImg& c, const Variant* a, Variant&) {
       c.SetParentDir(a[0].text(), a[1].int16(), a[2].int16());
       return kSOk;
     }},
    {2, "PreviousName", 2, kPropertyGet, none(), 0, T::kString, kSnapshotAnswers,
     [](EnumImg& c, const Variant*, Variant& r) {
       r = c.PreviousName();
       return kSOk;
     }},
    {3, "CurrentName", 3, kPropertyGet, none(), 0, T::kString, kSnapshotAnswers,
     [](EnumImg& c, const Variant*, Variant& r) {
       r = c.CurrentName();
       return kSOk;
     }},
    {4, "NextName", 4, kPropertyGet, none(), 0, T::kString, kSnapshotAnswers,
     [](EnumImg& c, const Variant*, Variant& r) {
       r = c.NextName();
       return kSOk;
     }},
    {5, "Next", 5, kMethod, none(), 0, T::kNone, kSnapshotCarries,
     [](EnumImg& c, const Variant*, Variant&) {
       c.Next();
       return kSOk;
     }},
    {6, "Previous", 6, kMethod, none(), 0, T::kNone, kSnapshotCarries,
     [](EnumImg& c, const Variant*, Variant&) {
       c.Previous();
       return kSOk;
     }},
    {7, "Rewind", 7, kMethod, none(), 0, T::kNone, kSnapshotCarries,
     [](EnumImg& c, const Variant*, Variant&) {
       c.Rewind();
       return kSOk;
     }},
    {8, "RemoveCurrent", 8, kMethod, none(), 0, T::kNone, kSnapshotEnds,
     [](EnumImg& c, const Variant*, Variant&) {
       c.RemoveCurrent();
       return kSOk;
     }},
    {9, "Version", 9, kPropertyGet, none(), 0, T::kString, kSnapshotKeeps,
     [](EnumImg&, const Variant*, Variant& r) {
       r = EnumImg::Version();
       return kSOk;
     }},
    {10, "QuitIt", 10, kMethod, none(), 0, T::kNone, kSnapshotEnds,
     [](EnumImg& c, const Variant*, Variant&) { return c.QuitIt(); }},
    {11, "CurrentShortName", 11, kPropertyGet, none(), 0, T::kString, kSnapshotAnswers,
     [](EnumImg& c, const Variant*, Variant& r) {
       r = c.CurrentShortName();
       return kSOk;
     }},
    {12, "JumpTo", 12, kMethod, one({"chMatch", T::kInt16}), 1, T::kNone, kSnapshotCarries,
     [](EnumImg& c, const Variant* a, Variant&) {
       c.JumpTo(a[0].int16());
       return kSOk;
     }},
    {13, "PromptForPath", 13, kMethod,
     two({"bstrStaringDir", T::kString}, {"bstrMessage", T::kString}), 2, T::kString, kSnapshotEnds,
     [](EnumImg& c, const Variant* a, Variant& r) {
       r = c.PromptForPath(a[0].text(), a[1].text());
       return kSOk;
     }},
    {14, "Exists", 14, kPropertyGet, one({"bstrPath", T::kString}), 1, T::kInt32, kSnapshotKeeps,
     [](EnumImg& c, const Variant* a, Variant& r) {
       r = c.Exists(a[0].text());
       return kSOk;
     }},
    {15, "Preference", 15, kPropertyGet, one({"bstrKey", T::kString}), 1, T::kString,
     kSnapshotKeeps,
     [](EnumImg& c, const Variant* a, Variant& r) {
       r = c.Preference(a[0].text());
       return kSOk;
     }},
    {16, "Preference", 15, kPropertyPut, two({"bstrKey", T::kString}, {"", T::kString}), 2,
     T::kNone, kSnapshotKeeps,
     [](EnumImg& c, const Variant* a, Variant&) { return c.Preference(a[0].text(), a[1].text()); }},
    {17, "LoadDone", 17, kPropertyGet, none(), 0, T::kInt32, kSnapshotKeeps,
     [](EnumImg& c, const Variant*, Variant& r) {
       r = c.LoadDone();
       return kSOk;
     }},
    {18, "CurrentFileSize", 18, kPropertyGet, none(), 0, T::kInt32, kSnapshotKeeps,
     [](EnumImg& c, const Variant*, Variant& r) {
       // Script's long holds the low 32 bits as they are.
       r = static_cast<int32_t>(c.CurrentFileSize());
       return kSOk;
     }},
    {19, "FileCount", 19, kPropertyGet, none(), 0, T::kInt32, kSnapshotAnswers,
     [](EnumImg& c, const Variant*, Variant& r) {
       r = c.FileCount();
       return kSOk;
     }},
    {20, "StartTimer", 20, kMethod, one({"dwMSecHeartbeat", T::kUint32}), 1, T::kNone,
     kSnapshotCarries,
     [](EnumImg& c, const Variant* a, Variant&) {
       c.StartTimer(a[0].uint32());
       return kSOk;
     }},
    {21, "StopTimer", 21, kMethod, none(), 0, T::kNone, kSnapshotCarriesAndAnswers,
     [](EnumImg& c, const Variant*, Variant&) {
       c.StopTimer();
       return kSOk;
     }},
    {22, "DirCount", 25, kPropertyGet, none(), 0, T::kInt32, kSnapshotAnswers,
     [](EnumImg& c, const Variant*, Variant& r) {
       r = c.DirCount();
       return kSOk;
     }},
    {23, "Rename", 26, kMethod, one({"bstrNewName", T::kString}), 1, T::kNone, kSnapshotCarries,
     [](EnumImg& c, const Variant* a, Variant&) {
       c.Rename(a[0].text());
       return kSOk;
     }},
    {24, "OrganizeImages", 28, kMethod, none(), 0, T::kNone, kSnapshotEnds,
     [](EnumImg& c, const Variant*, Variant&) {
       c.OrganizeImages();
       return kSOk;
     }},
    {25, "JumpToNextDir", 31, kMethod, none(), 0, T::kNone, kSnapshotCarries,
     [](EnumImg& c, const Variant*, Variant&) {
       c.JumpToNextDir();
       return kSOk;
     }},
    {26, "JumpToRandom", 32, kMethod, none(), 0, T::kNone, kSnapshotCarries,
     [](EnumImg& c, const Variant*, Variant&) {
       c.JumpToRandom();
       return kSOk;
     }},
    {27, "JumpToPreviousDir", 33, kMethod, none(), 0, T::kNone, kSnapshotCarries,
     [](EnumImg& c, const Variant*, Variant&) {
       c.JumpToPreviousDir();
       return kSOk;
     }},
    {28, "RestrictOnlyDuplicates", 44, kMethod,
     two({"bCheckName", T::kInt32}, {"bCheckSize", T::kInt32}), 2, T::kNone, kSnapshotEnds,
     [](EnumImg& c, const Variant* a, Variant&) {
       c.RestrictOnlyDuplicates(a[0].int32(), a[1].int32());
       return kSOk;
     }},
    {29, "DuplicateStatus", 45, kPropertyGet, none(), 0, T::kInt32, kSnapshotKeeps,
     [](EnumImg& c, const Variant*, Variant& r) {
       r = c.DuplicateStatus();
       return kSOk;
     }},
    {30, "AddUrlImage", 46, kMethod, one({"bstrUrl", T::kString}), 1, T::kNone, kSnapshotCarries,
     [](EnumImg& c, const Variant* a, Variant&) {
       c.AddUrlImage(a[0].text());
       return kSOk;
     }},
    {31, "SaveWindowLoc", 47, kMethod, one({"bstrKey", T::kString}), 1, T::kNone, kSnapshotKeeps,
     [](EnumImg& c, const Variant* a, Variant&) { return c.SaveWindowLoc(a[0].text()); }},
    {32, "ForceImgDraw", 48, kMethod, none(), 0, T::kNone, kSnapshotKeeps,
     [](EnumImg& c, const Variant*, Variant&) { return c.ForceImgDraw(); }},
    {33, "ScrapeUrl", 49, kMethod,
     three({"bstrUrl", T::kString}, {"dwHowDeep", T::kUint32}, {"bStartUpdate", T::kInt32}), 3,
     T::kNone, kSnapshotEnds,
     [](EnumImg& c, const Variant* a, Variant&) {
       c.ScrapeUrl(a[0].text(), a[1].uint32(), a[2].int32());
       return kSOk;
     }},
    {34, "CurrentMidi", 50, kPropertyGet, one({"bSearchParentDirs", T::kInt32}), 1, T::kString,
     kSnapshotKeeps,
     [](EnumImg& c, const Variant* a, Variant& r) {
       r = c.CurrentMidi(a[0].int32());
       return kSOk;
     }},
};

}  // namespace

std::span<const Member> enumImgMembers() { return kMembers; }

}  // namespace lumorel
