// Leaves C:\planted-dll-<own file name>.txt holding, one line per load, the
// path it was loaded from and the program that loaded it. It exports nothing
// and does nothing else, so a program that loads it in place of a system DLL
// still starts (and fails later, at the first call it imports from it).
#include <windows.h>

#include <string>

namespace {

std::wstring ModulePath(HMODULE module) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH * 2);
  return std::wstring(buffer, length);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  const std::wstring path = ModulePath(self);
  const size_t slash = path.find_last_of(L"\\/");
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const std::wstring mark = L"C:\\planted-dll-" + name + L".txt";
  HANDLE file = CreateFileW(mark.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    const std::wstring text = path + L" | " + ModulePath(nullptr) + L"\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
  }
  return TRUE;
}
