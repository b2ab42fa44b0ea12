#include "wizard/paint_rules.h"

#include <algorithm>
#include <array>

#include "res/resource.h"

namespace vornell {

namespace {
// Labels, radio buttons and check boxes drawn over the background picture.
constexpr std::array kTransparentControls = {
    IDC_QUESTION, IDC_LICENSE_HEADING, IDC_MODEL, IDC_WELCOME, IDC_STATUS,
    IDC_USB,      IDC_PARALLEL,        IDC_SET_DEFAULT, IDC_TEST_PAGE,
};
}  // namespace

ColorRule ColorRuleFor(int controlId, bool highContrast) {
  if (controlId == IDC_LICENSE) return highContrast ? ColorRule::kSystemColors : ColorRule::kLicenseBox;
  if (std::find(kTransparentControls.begin(), kTransparentControls.end(), controlId) !=
      kTransparentControls.end()) {
    return highContrast ? ColorRule::kSystemColors : ColorRule::kTransparentBackground;
  }
  return ColorRule::kDefault;
}

IconPoint IconPosition(int clientWidth, int clientHeight, int iconWidth, int iconHeight) {
  // Built-in division truncates toward zero, also when the icon is the larger.
  return IconPoint{(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

}  // namespace vornell
