#pragma once
// The layout of the dialog templates as data: what the headless window builds
// its controls from and what the Wine tests compare the real window with.
// res/vornell.rc holds the same templates for the resource compiler; the
// Wine tests prove that the window made from it matches this table.
#include <cstdint>
#include <span>

namespace vornell {

enum class ControlKind { kPushButton, kStatic, kPicture, kProgress, kGroupBox, kRadio, kCheckBox, kRichEdit, kIcon };

struct ControlLayout {
  int id;  // -1: no ID (0xFFFF in the template)
  ControlKind kind;
  const char* windowClass;  // as the template names it
  std::uint32_t style;      // as the template holds it, WS_CHILD | WS_VISIBLE included
  int x, y, width, height;  // dialog units
  const char* text;         // GBK; empty for none
  int imageId;              // bitmap or icon resource of a picture control, else 0
};

struct DialogLayout {
  int id;
  std::uint32_t style;
  std::uint32_t exStyle;
  int x, y, width, height;
  const char* caption;  // GBK
  const char* fontFace;
  int fontPoints;
  std::span<const ControlLayout> controls;
};

const DialogLayout& MainDialogLayout();   // template 102
const DialogLayout& AboutDialogLayout();  // template 100
// nullptr for an unknown template.
const DialogLayout* FindDialogLayout(int templateId);

}  // namespace vornell
