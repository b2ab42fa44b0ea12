#pragma once
// The decisions of painting that need no screen: which colours a control
// gets, and where the icon of the minimised window goes.

namespace vornell {

enum class ColorRule {
  kLicenseBox,   // own background colour and the license-box brush
  kTransparentBackground,  // no background: the picture shows behind the text
  kDefault,      // whatever the base handler answered
};

ColorRule ColorRuleFor(int controlId);

struct IconPoint {
  int x = 0;
  int y = 0;
};

// The icon centred in the client area, rounding as (free + 1) / 2 toward zero.
IconPoint IconPosition(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

}  // namespace vornell
