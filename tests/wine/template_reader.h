#pragma once
// Reads a DLGTEMPLATEEX resource out of a program file, so a test can compare
// the template that the resource compiler built with the layout table.
#include <windows.h>

#include <string>
#include <vector>

namespace wt {

struct TemplateItem {
  DWORD style = 0, exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  std::wstring windowClass;  // predefined ordinals turned into their names
  std::wstring text;
  int textOrdinal = -1;  // a resource number given as the text (pictures)
};

struct DialogTemplate {
  bool found = false;
  DWORD style = 0, exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::wstring caption, font;
  int pointSize = 0, weight = 0, italic = 0, charset = 0;
  std::vector<TemplateItem> items;
};

DialogTemplate ReadDialogTemplate(const std::wstring& module, int id);

// Pixels per dialog unit of a dialog using the same font ("MS Shell Dlg", 9
// points, fixed-system flag): an empty template of our own, measured.
void DialogBaseUnits(int& cxPer4, int& cyPer8);
RECT DialogUnitsToPixels(int x, int y, int cx, int cy);

}  // namespace wt
