#pragma once
// The decisions of painting that need no screen: which colours a control
// gets, and where the icon of the minimised window goes.

namespace vornell {

enum class ColorRule {
  kLicenseBox,   // own background colour and the license-box brush
  kTransparentBackground,  // no background: the picture shows behind the text
  kSystemColors,  // window text on the window colour, the system's brush
  kDefault,      // whatever the base handler answered
};

// In high contrast the license box and the controls drawn over the picture
// take the system's colours instead.
ColorRule ColorRuleFor(int controlId, bool highContrast);

struct IconPoint {
  int x = 0;
  int y = 0;
};

// The icon centred in the client area, rounding as (free + 1) / 2 toward zero.
IconPoint IconPosition(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

}  // namespace vornell
