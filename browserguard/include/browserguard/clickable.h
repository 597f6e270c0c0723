// Whether a click landed on something that may legitimately open a window: a
// link, a button, an image map, a scripted element or an embedded object, on
// the element itself or any ancestor. The element is reached through a small
// interface so the rule runs on the real document and on test trees alike.
#pragma once

#include <string>

namespace browserguard {

class ClickElement {
 public:
  virtual ~ClickElement() = default;
  virtual std::string TagName() const = 0;                 // any case
  virtual std::string Attribute(const std::string& name) const = 0;  // empty when absent
  // True when one of the click or key handler properties is set.
  virtual bool HasEventHandler() const = 0;
  virtual const ClickElement* Parent() const = 0;          // null at the top
};

bool IsClickableElement(const ClickElement* element);

// The mouse messages the click monitor judges.
inline constexpr unsigned kWmLButtonDown = 0x201;
inline constexpr unsigned kWmLButtonUp = 0x202;
inline constexpr unsigned kWmRButtonUp = 0x205;
inline constexpr unsigned kWmMButtonUp = 0x208;

bool IsJudgedMouseMessage(int code, unsigned message);

// A message-box button (class "Button" in a "#32770" dialog) is not a page click.
bool IsDialogButton(const std::string& className, const std::string& parentClassName);

}  // namespace browserguard
