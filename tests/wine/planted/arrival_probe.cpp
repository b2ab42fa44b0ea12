// arrival_probe.dll: loaded into the running Vornell.exe, it hands the
// wizard's window the WM_DEVICECHANGE arrivals Windows would send when a
// printer is plugged in (Wine sends none for the test bed's devices). The
// device paths come from C:\arrival-paths.txt, one ASCII line each, sent
// 100 ms apart from a thread of this process, as Windows' own would be
// dispatched; C:\arrival-done.txt then says how many were sent.
#include <windows.h>

#include <dbt.h>

#include <string>
#include <vector>

#include "tests/wine/probe_dll.h"

namespace {

std::vector<std::string> Paths() {
  std::vector<std::string> paths;
  HANDLE file = CreateFileW(L"C:\\arrival-paths.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return paths;
  char buffer[4096];
  DWORD got = 0;
  std::string text;
  if (ReadFile(file, buffer, sizeof buffer, &got, nullptr)) text.assign(buffer, got);
  CloseHandle(file);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) paths.push_back(line);
    start = end + 1;
  }
  return paths;
}

DWORD WINAPI Run(void*) {
  HWND wizard = probe::OwnWizardWindow();
  int sent = 0;
  for (const std::string& path : Paths()) {
    std::vector<BYTE> bytes(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + path.size() * sizeof(wchar_t), 0);
    auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
    broadcast->dbcc_size = static_cast<DWORD>(bytes.size());
    broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    for (std::size_t i = 0; i < path.size(); ++i) broadcast->dbcc_name[i] = static_cast<wchar_t>(path[i]);
    if (wizard != nullptr) {
      SendMessageW(wizard, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(broadcast));
      ++sent;
    }
    Sleep(100);
  }
  probe::WriteWhole(L"sent=" + std::to_wstring(sent) + L"\n", L"C:\\arrival-done.tmp", L"C:\\arrival-done.txt");
  return 0;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  probe::StartProbe(reason, Run);
  return TRUE;
}
