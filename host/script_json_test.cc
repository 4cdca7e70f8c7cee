#include "host/script_json.h"

#include <gtest/gtest.h>

namespace lumorel {
namespace {

TEST(ScriptJson, EveryTextRoundTripsThroughJsonExactly) {
  const std::string texts[] = {
      "",
      "plain.jpg",
      "caf\xe9.jpg",                      // Latin-1
      "caf\xc3\xa9.jpg",                  // UTF-8
      "\xf0\x9f\x98\x80 smile",           // beyond the basic plane
      "\xed\xa0\x80",                     // an encoded surrogate is not UTF-8
      "\xc0\xaf overlong",                // nor is an overlong form
      "cut \xe2\x82",                     // nor a cut sequence
      std::string("nul\0inside", 10),     // never in engine text, still exact
      "quote \" backslash \\ tab \t",
      "\x01\x1f\x7f\x80\xff",
  };
  for (const std::string& text : texts) {
    const std::string json = dumpScriptJson(nlohmann::json::array({carriedText(text)}));
    std::string error;
    std::optional<nlohmann::json> back = parseScriptJson(json, error);
    ASSERT_TRUE(back) << json << ": " << error;
    EXPECT_EQ(engineText((*back)[0].get<std::string>()), text) << json;
  }
}

TEST(ScriptJson, BytesThatAreNotUtf8TravelAsLoneSurrogates) {
  EXPECT_EQ(dumpScriptJson(nlohmann::json(carriedText("caf\xe9"))), "\"caf\\udce9\"");
  EXPECT_EQ(dumpScriptJson(nlohmann::json(carriedText("caf\xc3\xa9"))), "\"caf\xc3\xa9\"");
  std::string error;
  // As script writes them: escaped lone surrogates, and proper pairs.
  std::optional<nlohmann::json> parsed =
      parseScriptJson(R"(["caf\udce9", "\ud83d\ude00", "\u00e9", "a\\udce9"])", error);
  ASSERT_TRUE(parsed) << error;
  EXPECT_EQ(engineText((*parsed)[0].get<std::string>()), "caf\xe9");
  EXPECT_EQ(engineText((*parsed)[1].get<std::string>()), "\xf0\x9f\x98\x80");
  EXPECT_EQ(engineText((*parsed)[2].get<std::string>()), "\xc3\xa9");
  EXPECT_EQ(engineText((*parsed)[3].get<std::string>()), "a\\udce9") << "an escaped backslash";
}

TEST(ScriptJson, WhatIsNotJsonIsRefusedWithAMessage) {
  for (const char* body : {"", "{", "[\"\\ud800\"]", "[\"\\udc00\"]", "[\"\\ud800\\u0041\"]",
                           "{\"a\":1,}", "[\"raw \x01 control\"]"}) {
    std::string error;
    EXPECT_FALSE(parseScriptJson(body, error)) << body;
    EXPECT_FALSE(error.empty()) << body;
  }
}

}  // namespace
}  // namespace lumorel
