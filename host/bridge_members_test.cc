// The bridge script carries its own table of the control's members (it must
// know, before any call, which names are methods and which properties), so
// this checks it against the control's member table.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>

#include "control/member_table.h"
#include "host/bridge_script.h"

namespace lumorel {
namespace {

// "method", "get" or "put" with the parameter count, for each member name.
using Kinds = std::map<std::string, std::map<std::string, std::size_t>>;

// The `var MEMBERS = { ... };` object of the bridge script.
Kinds bridgeMembers() {
  const std::string script(bridgeScript());
  const std::size_t start = script.find("var MEMBERS = {");
  const std::size_t end = script.find("};", start);
  EXPECT_NE(start, std::string::npos) << "no MEMBERS table in the bridge";
  if (start == std::string::npos || end == std::string::npos) return {};
  const std::string table = script.substr(start, end - start);
  Kinds kinds;
  const std::regex member(R"((\w+): \{([^}]*)\})");
  const std::regex kind(R"((method|get|put): (\d+))");
  for (std::sregex_iterator m(table.begin(), table.end(), member), none; m != none; ++m) {
    const std::string body = (*m)[2];
    for (std::sregex_iterator k(body.begin(), body.end(), kind); k != none; ++k) {
      kinds[(*m)[1]][(*k)[1]] = std::stoul((*k)[2]);
    }
  }
  return kinds;
}

Kinds controlMembers() {
  Kinds kinds;
  for (const Member& m : enumImgMembers()) {
    const char* kind = m.kind == kMethod ? "method" : m.kind == kPropertyGet ? "get" : "put";
    kinds[std::string(m.name)][kind] = m.paramCount;
  }
  return kinds;
}

TEST(BridgeMembers, AreTheControlsWithTheirKindsAndParameterCounts) {
  const Kinds bridge = bridgeMembers();
  const Kinds control = controlMembers();
  EXPECT_FALSE(control.empty());
  for (const auto& [name, kinds] : control) {
    auto found = bridge.find(name);
    if (found == bridge.end()) {
      ADD_FAILURE() << name << " is missing from the bridge's MEMBERS";
      continue;
    }
    EXPECT_EQ(found->second, kinds) << name;
  }
  for (const auto& [name, kinds] : bridge) {
    EXPECT_TRUE(control.count(name)) << name << " is in the bridge but not a member";
  }
}

}  // namespace
}  // namespace lumorel
