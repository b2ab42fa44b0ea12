#pragma once
// What the real window keeps behind a Dialog. Only framework/win32 sees it.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "framework/dialog.h"

namespace vornell {

struct Dialog::Impl {
  HWND hwnd = nullptr;  // set at WM_INITDIALOG, cleared when the window goes

  // The stretched background: bitmap resource `stretchedId` at the
  // client's size, made by the first paint that needs it.
  HBITMAP stretched = nullptr;
  int stretchedId = 0;
  SIZE stretchedSize{};

  Impl() = default;
  ~Impl() {
    if (stretched != nullptr) ::DeleteObject(stretched);
  }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM w, LPARAM l);
};

namespace win32 {

// The program's own module: every resource lives in Vornell.exe.
inline HINSTANCE ProgramModule() { return ::GetModuleHandleW(nullptr); }

inline HWND WindowOf(const Dialog& dialog) { return dialog.impl().hwnd; }

}  // namespace win32

}  // namespace vornell
