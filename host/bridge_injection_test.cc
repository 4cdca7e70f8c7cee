#include "host/bridge_injection.h"

#include <gtest/gtest.h>

namespace lumorel {
namespace {

TEST(BridgeInjection, GoesRightAfterTheHeadTagOrBeforeTheFirstTag) {
  const std::string e = "<S>";
  struct Case {
    std::string page, expected;
  } cases[] = {
      {"<html><head><title>t</title></head></html>", "<html><head><S><title>t</title></head></html>"},
      {"<HTML><HEAD id=\"h\">x", "<HTML><HEAD id=\"h\"><S>x"},
      {"<html><header>no</header><head>", "<html><header>no</header><head><S>"},
      {"<!-- <head> --><html><head>", "<!-- <head> --><html><head><S>"},
      {"<!DOCTYPE html><p>text", "<!DOCTYPE html><S><p>text"},
      {"  <body onload=\"go()\">", "  <S><body onload=\"go()\">"},
      {"just text", "<S>just text"},
      {"", "<S>"},
      {"a < b <3", "<S>a < b <3"},
  };
  for (const Case& c : cases) EXPECT_EQ(injectBridge(c.page, e), c.expected) << c.page;
}

}  // namespace
}  // namespace lumorel
