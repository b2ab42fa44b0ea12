// Runs inside Vornell.exe (loaded by a remote thread) and plays the user who
// switches high contrast on and off. Wine's SPI_GETHIGHCONTRAST always says
// off and it refuses SPI_SETHIGHCONTRAST, so the program's import of
// SystemParametersInfoW is answered here. Each signal of the event
// "VornellHighContrastSwitch" flips the setting: the colours of "High
// Contrast Black" with yellow text (or the previous colours back), the
// answer, and the WM_SETTINGCHANGE Windows sends. C:\high-contrast.txt says
// whether the import was replaced, how many switches were made and the state.
#include <windows.h>

#include <atomic>
#include <string>

#include "tests/wine/probe_dll.h"

namespace {

std::atomic<bool> g_on{false};
bool g_patched = false;

constexpr int kColours[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_3DFACE};
constexpr COLORREF kHighContrastBlack[] = {RGB(0, 0, 0), RGB(255, 255, 0), RGB(0, 0, 0), RGB(255, 255, 255),
                                           RGB(0, 0, 0)};
constexpr int kCount = sizeof kColours / sizeof kColours[0];

BOOL WINAPI AnswerHighContrast(UINT action, UINT size, void* data, UINT flags) {
  if (action != SPI_GETHIGHCONTRAST || data == nullptr) return SystemParametersInfoW(action, size, data, flags);
  auto* settings = static_cast<HIGHCONTRASTW*>(data);
  settings->dwFlags = HCF_AVAILABLE | (g_on ? HCF_HIGHCONTRASTON : 0);
  settings->lpszDefaultScheme = nullptr;
  return TRUE;
}

void Report(int switches) {
  const std::wstring lines = L"patched=" + std::to_wstring(g_patched ? 1 : 0) + L"\nswitches=" +
                             std::to_wstring(switches) + L"\non=" + std::to_wstring(g_on ? 1 : 0) + L"\n";
  probe::WriteWhole(lines, L"C:\\high-contrast.tmp", L"C:\\high-contrast.txt");
}

DWORD WINAPI Switcher(void*) {
  HANDLE signal = CreateEventW(nullptr, FALSE, FALSE, L"VornellHighContrastSwitch");
  COLORREF before[kCount];
  int switches = 0;
  Report(switches);
  while (signal != nullptr && WaitForSingleObject(signal, INFINITE) == WAIT_OBJECT_0) {
    if (!g_on) {
      for (int i = 0; i < kCount; ++i) before[i] = GetSysColor(kColours[i]);
      g_on = true;
      SetSysColors(kCount, kColours, kHighContrastBlack);
    } else {
      g_on = false;
      SetSysColors(kCount, kColours, before);
    }
    // What Windows sends to every top-level window when the setting changes.
    if (HWND wizard = probe::OwnWizardWindow()) SendMessageW(wizard, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    Report(++switches);
  }
  return 0;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_patched = probe::PatchUser32Import(GetModuleHandleW(nullptr), "SystemParametersInfoW",
                                         reinterpret_cast<void*>(&AnswerHighContrast));
  }
  probe::StartProbe(reason, Switcher);
  return TRUE;
}
