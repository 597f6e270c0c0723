#include "browserguard/clickable.h"

#include <algorithm>
#include <cctype>

namespace browserguard {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// Guards against a parent chain that loops (a broken document adapter).
constexpr int kMaxDepth = 4096;

}  // namespace

bool IsClickableElement(const ClickElement* element) {
  for (int depth = 0; element && depth < kMaxDepth; ++depth, element = element->Parent()) {
    if (element->HasEventHandler()) return true;
    const std::string tag = Upper(element->TagName());
    if (tag == "A" || tag == "OBJECT") return true;
    if (tag == "INPUT") {
      const std::string type = Upper(element->Attribute("type"));
      if (type == "BUTTON" || type == "SUBMIT" || type == "IMAGE") return true;
    } else if (tag == "IMG") {
      if (!element->Attribute("usemap").empty()) return true;
    } else if (tag == "AREA") {
      if (!element->Attribute("href").empty()) return true;
    }
  }
  return false;
}

bool IsJudgedMouseMessage(int code, unsigned message) {
  if (code != 0) return false;
  return message == kWmLButtonUp || message == kWmRButtonUp || message == kWmLButtonDown ||
         message == kWmMButtonUp;
}

bool IsDialogButton(const std::string& className, const std::string& parentClassName) {
  return className == "Button" && parentClassName == "#32770";
}

}  // namespace browserguard
