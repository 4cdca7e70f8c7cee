// The type library's description of IEnumImg (resources/lmcntl.idl) against
// the member table both shells dispatch through: a member added, renamed,
// moved or retyped in one and not the other fails here.
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control/member_table.h"

namespace lumorel {
namespace {

struct IdlParam {
  std::string name;
  ScriptType type;
  bool retval;
};

struct IdlMember {
  std::string name;
  int32_t dispid;
  MemberKind kind;
  std::vector<IdlParam> params;
};

ScriptType typeOf(std::string type) {
  if (!type.empty() && type.back() == '*') type.pop_back();
  if (type == "BSTR") return ScriptType::kString;
  if (type == "short") return ScriptType::kInt16;
  if (type == "long") return ScriptType::kInt32;
  if (type == "unsigned long") return ScriptType::kUint32;
  ADD_FAILURE() << "a type the table has no kind for: " << type;
  return ScriptType::kNone;
}

// "[in] BSTR bstrPath", "[out, retval] long* pVal", "[in] BSTR".
IdlParam parseParam(const std::string& text) {
  static const std::regex form(R"(\[([a-z, ]+)\] (BSTR|short|long|unsigned long)(\*?)(?: (\w+))?)");
  std::smatch m;
  if (!std::regex_match(text, m, form)) {
    ADD_FAILURE() << "a parameter of an unknown form: " << text;
    return {};
  }
  return {m[4].str(), typeOf(m[2].str() + m[3].str()),
          m[1].str().find("retval") != std::string::npos};
}

std::vector<IdlMember> readInterface(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in) << path;
  std::stringstream whole;
  whole << in.rdbuf();
  const std::string idl = whole.str();
  const auto begin = idl.find("interface IEnumImg : IDispatch");
  const auto end = idl.find("};", begin);
  EXPECT_NE(begin, std::string::npos);
  const std::string body = idl.substr(begin, end - begin);

  static const std::regex line(R"(\[(?:(propget|propput), )?id\((\d+)\)\] HRESULT (\w+)\((.*)\);)");
  std::vector<IdlMember> members;
  for (std::sregex_iterator it(body.begin(), body.end(), line), last; it != last; ++it) {
    const std::smatch& m = *it;
    IdlMember member{m[3].str(), std::stoi(m[2].str()),
                     m[1] == "propget"   ? kPropertyGet
                     : m[1] == "propput" ? kPropertyPut
                                         : kMethod,
                     {}};
    std::string params = m[4].str();
    // Parameters are separated by ", " outside their attribute brackets.
    std::string current;
    int depth = 0;
    for (std::size_t i = 0; i < params.size(); ++i) {
      const char c = params[i];
      depth += c == '[' ? 1 : c == ']' ? -1 : 0;
      if (c == ',' && depth == 0) {
        member.params.push_back(parseParam(current));
        current.clear();
        if (i + 1 < params.size() && params[i + 1] == ' ') ++i;
      } else {
        current += c;
      }
    }
    if (!current.empty()) member.params.push_back(parseParam(current));
    members.push_back(std::move(member));
  }
  return members;
}

TEST(TypeLibrary, DescribesEveryMemberAsTheTableDoes) {
  const auto idl = readInterface(LUMOREL_TYPE_LIBRARY_IDL);
  const auto table = enumImgMembers();
  ASSERT_EQ(idl.size(), table.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    const Member& want = table[i];
    const IdlMember& got = idl[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(got.name, want.name);
    EXPECT_EQ(got.dispid, want.dispid);
    EXPECT_EQ(got.kind, want.kind);
    ScriptType result = ScriptType::kNone;
    std::vector<IdlParam> inputs;
    for (const IdlParam& p : got.params) {
      if (p.retval) {
        result = p.type;
      } else {
        inputs.push_back(p);
      }
    }
    EXPECT_EQ(result, want.result);
    ASSERT_EQ(inputs.size(), want.paramCount);
    for (std::size_t k = 0; k < inputs.size(); ++k) {
      EXPECT_EQ(inputs[k].name, want.params[k].name) << "parameter " << k;
      EXPECT_EQ(inputs[k].type, want.params[k].type) << "parameter " << k;
    }
  }
}

}  // namespace
}  // namespace lumorel
