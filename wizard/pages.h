#pragma once
// The wizard's pages as they stand once their step has done its work: the
// one description the step machine takes its captions and status lines
// from, and the tests compare the window with.
#include <array>

#include "engine/installer_state.h"
#include "res/resource.h"

namespace vornell {

enum class PageId { kLicense, kRetry, kConnection, kInstall, kSuccess, kFailure };

struct PageLook {
  const char* name;
  // Controls the page shows besides the header, Next, Back and the status
  // line; 0 fills the rest.
  std::array<int, 2> shown;
  const char* status;  // the status line 1018; nullptr: hidden
  const char* next;    // Next's caption
  bool nextEnabled;
  const char* back;    // Back's caption; nullptr: hidden
  bool backEnabled;
  bool boxesChecked;   // the check boxes 1019 and 1020
};

inline constexpr std::array<PageLook, 6> kPages{{
    {"license", {IDC_LICENSE_HEADING, IDC_LICENSE}, nullptr, "安装", true, "退出", true, false},
    {"retry", {0, 0}, "提示：请检查打印机是否连接", "继续", true, "返回", true, false},
    {"connection", {0, 0}, "点击 “ 继续 ” 进行打印机驱动安装", "继续", true, "返回", true, false},
    {"install", {IDC_PROGRESS, 0}, "正在安装打印机驱动……", "继续", false, "返回", false, false},
    {"success", {IDC_SET_DEFAULT, IDC_TEST_PAGE}, "打印机驱动安装成功！", "完成", true, nullptr, false, true},
    {"failure", {0, 0}, "打印机驱动安装失败", "退出", true, nullptr, false, false},
}};

constexpr const PageLook& Page(PageId id) { return kPages[static_cast<int>(id)]; }

}  // namespace vornell

namespace vornell {

// The page a step leaves on screen, for the log's last line; steps 6 and 8
// end the window from the success and the failure page.
constexpr const char* PageNameOf(WizardStep step) {
  switch (step) {
    case WizardStep::kStart:
    case WizardStep::kLicense: return Page(PageId::kLicense).name;
    case WizardStep::kLeaveLicense: return Page(PageId::kRetry).name;
    case WizardStep::kConnectionCheck: return Page(PageId::kConnection).name;
    case WizardStep::kInstall: return Page(PageId::kInstall).name;
    case WizardStep::kSuccess:
    case WizardStep::kFinish: return Page(PageId::kSuccess).name;
    case WizardStep::kFailure:
    case WizardStep::kLeaveAfterFailure: return Page(PageId::kFailure).name;
  }
  return "unknown";
}

}  // namespace vornell
