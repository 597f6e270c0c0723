#include "browserguard/clickable.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

namespace browserguard {
namespace {

struct FakeElement : ClickElement {
  std::string tag;
  std::map<std::string, std::string> attrs;
  bool handler = false;
  const FakeElement* parent = nullptr;
  std::string TagName() const override { return tag; }
  std::string Attribute(const std::string& n) const override {
    auto it = attrs.find(n);
    return it == attrs.end() ? std::string() : it->second;
  }
  bool HasEventHandler() const override { return handler; }
  const ClickElement* Parent() const override { return parent; }
};

// Builds a chain from the outermost element inwards and returns the innermost.
struct Chain {
  std::vector<std::unique_ptr<FakeElement>> items;
  FakeElement* Push(std::string tag, std::map<std::string, std::string> attrs = {},
                    bool handler = false) {
    auto e = std::make_unique<FakeElement>();
    e->tag = std::move(tag);
    e->attrs = std::move(attrs);
    e->handler = handler;
    e->parent = items.empty() ? nullptr : items.back().get();
    items.push_back(std::move(e));
    return items.back().get();
  }
};

TEST(Clickable, ElementRules) {
  struct Case {
    const char* name;
    std::vector<std::tuple<std::string, std::map<std::string, std::string>, bool>> outerToInner;
    bool clickable;
  } cases[] = {
      {"plain text", {{"BODY", {}, false}, {"P", {}, false}}, false},
      {"span in anchor", {{"BODY", {}, false}, {"a", {}, false}, {"SPAN", {}, false}}, true},
      {"text input in div with onclick",
       {{"DIV", {}, true}, {"INPUT", {{"type", "text"}}, false}}, true},
      {"text input in plain div", {{"DIV", {}, false}, {"INPUT", {{"type", "text"}}, false}},
       false},
      {"submit input", {{"INPUT", {{"type", "Submit"}}, false}}, true},
      {"image input", {{"INPUT", {{"type", "image"}}, false}}, true},
      {"image with map", {{"IMG", {{"usemap", "#m"}}, false}}, true},
      {"image without map", {{"IMG", {}, false}}, false},
      {"area with href", {{"AREA", {{"href", "x.html"}}, false}}, true},
      {"area without href", {{"AREA", {}, false}}, false},
      {"object", {{"OBJECT", {}, false}}, true},
      {"handler on element", {{"TD", {}, true}}, true},
  };
  for (const auto& c : cases) {
    Chain chain;
    FakeElement* inner = nullptr;
    for (const auto& [tag, attrs, handler] : c.outerToInner) inner = chain.Push(tag, attrs, handler);
    EXPECT_EQ(IsClickableElement(inner), c.clickable) << c.name;
  }
  EXPECT_FALSE(IsClickableElement(nullptr));
}

TEST(Clickable, JudgedMessages) {
  EXPECT_TRUE(IsJudgedMouseMessage(0, kWmLButtonUp));
  EXPECT_TRUE(IsJudgedMouseMessage(0, kWmRButtonUp));
  EXPECT_TRUE(IsJudgedMouseMessage(0, kWmLButtonDown));
  EXPECT_TRUE(IsJudgedMouseMessage(0, kWmMButtonUp));
  EXPECT_FALSE(IsJudgedMouseMessage(0, 0x200));  // mouse move
  EXPECT_FALSE(IsJudgedMouseMessage(0, 0x204));  // right press
  EXPECT_FALSE(IsJudgedMouseMessage(3, kWmLButtonUp));
  EXPECT_TRUE(IsDialogButton("Button", "#32770"));
  EXPECT_FALSE(IsDialogButton("Button", "Explorer_Server"));
  EXPECT_FALSE(IsDialogButton("button", "#32770"));
}

}  // namespace
}  // namespace browserguard
