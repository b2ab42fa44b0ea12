// Leaves C:\planted-ran-<own file name>.txt holding the full path it was
// started from and its command line, then ends half a second later. A planted copy that runs
// is thereby seen after the fact, whatever started it.
#include <windows.h>

#include <string>

int wmain() {
  wchar_t self[MAX_PATH * 2] = {};
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  std::wstring path(self, length);
  const size_t slash = path.find_last_of(L"\\/");
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const std::wstring mark = L"C:\\planted-ran-" + name + L".txt";
  HANDLE file = CreateFileW(mark.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  const std::wstring text = path + L" | " + GetCommandLineW() + L"\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(file);
  // Linger a moment, so that a watch of the started processes can read this one.
  Sleep(500);
  return 0;
}
